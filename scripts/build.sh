#!/usr/bin/env bash
# Configures and builds with CMake, quietly: one line that reads "Building in DIR... 42%" while
# it runs (on a terminal; elsewhere "Building in DIR... done" once), and the build's messages
# only when it fails or warns. All that CMake and the compiler print is kept in DIR/build.log.
#   scripts/build.sh [--target NAME] DIR [CMAKE_OPTION...]
# Exits with the failing step's status.
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: scripts/build.sh [--target NAME] DIR [CMAKE_OPTION...]"
target=()
if [ "${1:-}" = --target ]; then
  [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
  target=(--target "$2")
  shift 2
fi
[ $# -ge 1 ] || { echo "$usage" >&2; exit 2; }
dir="$1"
shift
mkdir -p "$dir"
log="$dir/build.log"
tty=false
if [ -t 1 ]; then tty=true; fi

# The progress lines of make and ninja, which name every file as it is built.
progress_lines='^\[ *[0-9]+%\] (Building|Linking|Built target|Generating)|^\[[0-9]+/[0-9]+\] '
progress_lines+='|^Scanning dependencies|^Consolidate compiler generated'

# messages FIRST: the log from line FIRST on, without the progress lines: what is left are the
# compiler's and the tools' own messages.
messages() {
  tail -n +"$1" "$log" | grep -Ev "$progress_lines" || true
}

# fail STATUS FIRST: ends the progress line, shows the messages from log line FIRST on, exits.
fail() {
  if $tty; then printf '\r\033[KBuilding in %s... ' "$dir"; fi
  echo "failed. Its messages (all of its output is in $log):"
  messages "$2"
  exit "$1"
}

# Reads the build's output and shows the highest share done so far on the progress line.
progress() {
  local line shown=-1 share
  while IFS= read -r line; do
    share=""
    if [[ $line =~ ^\[\ *([0-9]+)%\] ]]; then
      share=${BASH_REMATCH[1]}
    elif [[ $line =~ ^\[([0-9]+)/([0-9]+)\]\  ]]; then
      share=$((BASH_REMATCH[1] * 100 / BASH_REMATCH[2]))
    fi
    if [ -n "$share" ] && [ "$share" -gt "$shown" ]; then
      shown=$share
      if $tty; then printf '\rBuilding in %s... %d%%' "$dir" "$shown"; fi
    fi
  done
  return 0
}

printf 'Building in %s... ' "$dir"
status=0
cmake -S . -B "$dir" "$@" >"$log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "$status" 1
build_from=$(($(wc -l <"$log") + 1))
set +o pipefail
cmake --build "$dir" -j"$(nproc)" "${target[@]}" 2>&1 | tee -a "$log" | progress
status=${PIPESTATUS[0]}
set -o pipefail
[ "$status" -eq 0 ] || fail "$status" "$build_from"
if $tty; then printf '\r\033[KBuilding in %s... ' "$dir"; fi
echo "done"
if grep -q 'warning:' "$log"; then
  echo "The build warned (all of its output is in $log):"
  messages "$build_from"
fi
