# shellcheck shell=bash
# Shared by the scripts of bench/, which source it after `set -euo pipefail` with `repo` set to
# the repository's top folder: the benchmark builds (this worktree's and another revision's),
# background processes and their clean-up, free ports, and starting a server on a site.
# A script keeps every background process it starts in `pids` and calls bench_cleanup from its
# EXIT trap, which stops them and removes a revision's worktree left by an interrupted build.

pids=()        # every background process started, stopped by bench_cleanup
base_tree=""   # the temporary worktree of build_revision while it builds

# Configures and builds the TARGETs of the sources in SOURCE in the folder BUILD: Release, no
# tests, and ccache as the compiler launcher when it is on PATH, with paths taken relative to
# the folder above the repository so that worktrees side by side share its cache.
build_tree() {  # SOURCE BUILD TARGET...
  local source="$1" build="$2" launcher=""
  shift 2
  if command -v ccache >/dev/null; then
    launcher=ccache
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$repo")}" CCACHE_NOHASHDIR=1
  fi
  cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFOLIREX_TESTS=OFF \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" -DCMAKE_C_COMPILER_LAUNCHER="$launcher" >/dev/null
  cmake --build "$build" -j"$(nproc)" --target "$@" >/dev/null
}

# Builds the folirex binary and the seed of git revision REV in build-bench-base-<hash>, kept
# for the next run, and sets base_hash, base_build, base_bin and base_seed; OPTION names REV's option in the message
# when it is not a revision. The folder is complete only once .built is written; a broken or
# half-built one is redone. The sources are checked out beside it in a worktree that is removed
# after the build. The binary remembers its source folder only for `folirex init`, which is
# never run with it.
build_revision() {  # REV OPTION
  base_hash="$(git -C "$repo" rev-parse --verify --quiet "$1^{commit}")" ||
    { echo "$2: '$1' is not a revision of this repository" >&2; exit 2; }
  base_build="$repo/build-bench-base-$base_hash"
  base_bin="$base_build/folirex"
  base_seed="$base_build/bench/folirex-seed"
  if [ ! -e "$base_build/.built" ] || [ ! -x "$base_bin" ] || [ ! -x "$base_seed" ]; then
    echo "building the baseline ${base_hash:0:12} in ${base_build#"$repo"/}" >&2
    rm -rf "$base_build"
    base_tree="$base_build.src"
    if [ -e "$base_tree" ]; then
      git -C "$repo" worktree remove --force "$base_tree" >/dev/null 2>&1 || rm -rf "$base_tree"
      git -C "$repo" worktree prune
    fi
    git -C "$repo" worktree add --detach --quiet "$base_tree" "$base_hash"
    # The seed too, so that the baseline serves a site seeded (and indexed) by its own code.
    build_tree "$base_tree" "$base_build" folirex folirex-seed
    touch "$base_build/.built"
    git -C "$repo" worktree remove --force "$base_tree"
    base_tree=""
  fi
}

# An older binary refuses settings it does not know: keeps in the settings FILE only the ones
# every version reads (the others are at their defaults in a new site).
keep_common_settings() {  # FILE
  grep -E '^(#|(DbType|DBPath|DBUser|DBPwd|DBServer|Listen|MailServer)=|$)' "$1" >"$1.common" ||
    true
  mv "$1.common" "$1"
}

# The bench's wrk scripts send each request as from a client address of its own (X-Forwarded-For,
# bench/addresses.lua): the servers take it from the loopback address, their proxy for the run, so
# that the host's bound of pages in progress per client address does not hold wrk's connections,
# all from one address, behind a few pages.
trust_loopback() {  # FILE (a folirex.conf)
  sed -i '/^TrustedProxies=/d' "$1"
  echo "TrustedProxies=127.0.0.1" >>"$1"
}

alive() {  # PID: running (a child that has exited but not been waited for is not)
  local state
  state="$(ps -o stat= -p "$1" 2>/dev/null)" || return 1
  [[ $state != Z* ]]
}
forget() { local p keep=(); for p in "${pids[@]}"; do [ "$p" = "$1" ] || keep+=("$p"); done
  pids=("${keep[@]}"); }
# Stops a background process: SIGTERM, then SIGKILL after GRACE seconds. Returns 1 when it had
# to be killed.
stop() {  # PID [GRACE]
  local pid="$1" grace="${2:-10}" killed=0 _
  if alive "$pid"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq $((grace * 10))); do alive "$pid" || break; sleep 0.1; done
    if alive "$pid"; then kill -KILL "$pid" 2>/dev/null || true; killed=1; fi
  fi
  wait "$pid" 2>/dev/null || true
  forget "$pid"
  return "$killed"
}
bench_cleanup() {
  local pid
  for pid in "${pids[@]}"; do stop "$pid" 5; done
  if [ -n "$base_tree" ]; then
    git -C "$repo" worktree remove --force "$base_tree" >/dev/null 2>&1
    rm -rf "$base_tree"
    git -C "$repo" worktree prune
  fi
}

# Installs the Debian package PACKAGE when running as root (apt-get; the package lists are
# updated once if the install fails); nothing otherwise. The caller checks for what it needed.
install_package() {  # PACKAGE
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "installing $1 (apt-get install $1)" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends "$1" </dev/null >/dev/null 2>&1 ||
      { apt-get update -qq </dev/null >/dev/null 2>&1 &&
        apt-get install -y -qq --no-install-recommends "$1" </dev/null >/dev/null 2>&1; } || true
  fi
}

# The frequency word list of the real-text seed (folirex-seed --words real, folirex-keywords
# --dict): the segmentation dictionary of Debian's python3-jieba (lines "word count tag"),
# installed when running as root. Sets seed_dict to its path, or exits.
seed_dictionary() {
  local find='/jieba/dict\.txt$'
  seed_dict="$(dpkg -L python3-jieba 2>/dev/null | grep "$find" | head -n 1 || true)"
  if [ -z "$seed_dict" ]; then
    install_package python3-jieba
    seed_dict="$(dpkg -L python3-jieba 2>/dev/null | grep "$find" | head -n 1 || true)"
  fi
  if [ ! -f "$seed_dict" ]; then
    echo "the real-text seed needs the word list of python3-jieba (apt-get install python3-jieba);" \
      "--words forty seeds the forty words instead" >&2
    exit 1
  fi
}

# The words a site was seeded with (folirex-seed writes them to data/bench-seed.txt): real or
# forty; a site seeded before the seed recorded them was seeded with the forty words.
seeded_words() {  # SITE
  local words=""
  [ ! -f "$1/data/bench-seed.txt" ] || words="$(awk '$1 == "words" { print $2 }' "$1/data/bench-seed.txt")"
  echo "${words:-forty}"
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
# Waits while the server whose output goes to LOG (its lines after the first LINES) builds the
# list and search structures in the background; false when it stops or fails to build them.
wait_search_index() {  # LOG LINES
  local log="$1" lines="$2" said
  for _ in $(seq 72000); do
    said="$(tail -n +"$((lines + 1))" "$log" 2>/dev/null | grep '^list structures: ' | tail -1 || true)"
    case "$said" in
      "list structures: stopped"* | "list structures: cannot"*) return 1 ;;
    esac
    if [ -z "$said" ] || [[ "$said" == "list structures: ready"* ]]; then
      said="$(tail -n +"$((lines + 1))" "$log" 2>/dev/null | grep '^search index: ' | tail -1 || true)"
      case "$said" in
        "" | "search index: ready"*) return 0 ;;
        "search index: stopped"* | "search index: cannot"*) return 1 ;;
      esac
    fi
    alive "$server_pid" || return 1
    sleep 0.5
  done
  return 1
}

# Starts BIN serving SITE on 127.0.0.1:PORT, its errors appended to LOG; sets server_pid.
# A host that bounds its connections is given room for the held ones. On a large site the first
# start builds the list structures and the search structures after it listens: both are waited
# for (what the server prints of the search's build says when it is done), so that no
# round measures the searches of a half-built index.
start_server() {  # BIN SITE PORT THREADS LOG [VAR=VALUE...]
  local bin="$1" site="$2" port="$3" nthreads="$4" log="$5" help _ lines
  shift 5
  lines=0
  if [ -f "$log" ]; then lines="$(wc -l <"$log")"; fi
  local extra=()
  help="$("$bin" serve --help 2>&1 || true)"
  if grep -q -- --max-connections <<<"$help"; then extra=(--max-connections 4096); fi
  env "$@" "$bin" serve "$site" --listen "127.0.0.1:$port" --threads "$nthreads" "${extra[@]}" \
    >>"$log" 2>&1 &
  server_pid=$!
  pids+=("$server_pid")
  for _ in $(seq 36000); do
    if curl -s -o /dev/null "http://127.0.0.1:$port/images/hot.gif"; then
      wait_search_index "$log" "$lines" && return 0
      break
    fi
    alive "$server_pid" || break
    sleep 0.1
  done
  echo "$bin did not start serving $site:" >&2
  cat "$log" >&2
  exit 1
}
