#!/usr/bin/env bash
# Measures the server on a seeded site with wrk: requests per second, median and 99th
# percentile latency of each page kind, SQL statements per page, and the server's peak memory.
# Then three static files (the small image, a page of 10 KB and an image of 200 KB) served by
# folirex and by nginx in alternating rounds, and the article page measured alone and while
# folirex-hold keeps idle keep-alive and slow-header connections open.
# The searches are measured twice over: with one keyword asked again and again (the rows
# "search, ..." and "body search, ..."), which after its first request the server answers from
# what it keeps, and as readers search, with a keyword the server has not been asked before on
# every request (the rows "new kw title, ..." and "new kw body, ...", searchtype d_title and
# d_content on channel 1). Their keywords are drawn from the seeded site's own texts by
# bench/keywords.cpp, a list of each kind, each keyword once, in a shuffled order (the kinds of
# the forty-word seed here; --words says those of real text): one character of the texts, a
# two-character word, two characters across two words (the last of one and the first of the
# next, as they follow each other), two words (four characters), three words (six characters),
# and two characters found nowhere. wrk takes them in turn through
# bench/keywords.lua, which never sends a keyword twice: each round of each server takes its own
# slice of the list (a keyword may be asked again only of another server process, which keeps
# its own). A round sends for its time, then waits for every answer it is owed, so that a slow
# first request is counted rather than dropped; a round whose slice runs out first ends there,
# its figures then over the slice alone (the lists of one character and of one word, fewer than
# 80 keywords each, do unless their requests are slow). A table after the pages gives each
# list's size, the slice and the answers of the median round. Their req/s is the
# keyword requests' own rate (answers over the time from the first sent to the last answered),
# every answer must be a 200, and a few keywords of each kind are checked on the counting
# server to answer result pages that count different matches. Their warm-up searches the
# row's keywords in channel 1's largest class (in the channel as a whole it would spend them),
# so that the servers' connections have run the row's kind of search; their SQL count is that of
# a first request.
#   bench/run.sh [--articles N] [--duration SECONDS] [--threads N] [--baseline REV]
#                [--rounds N] [--idle N] [--slow N] [--db sqlite|postgres] [--against M]
#                [--site DIR] [--words real|forty] [--readers N]
# --readers sets how many connections send the new-keyword rows' requests at once (16 unless
# given; 1 measures a reader alone). The other rows always use 16.
# --words sets the seeded texts (build-bench/bench/folirex-seed): "real" (the default), words of
# a Chinese segmentation dictionary's frequency word list (Debian package python3-jieba,
# installed when run as root) drawn by their counts, so that few words are common and most rare,
# and a body of its own for every article; "forty", the forty two-character words the seed first
# used, every title and body made of them and the bodies shared from a pool of 512. The output
# says which seed the figures used. The new-keyword rows' kinds depend on it: on real text, words
# of the dictionary that the texts hold (common, middling, rare by its counts), cuts of one or
# two and of three to six characters of the texts, two common words together, and two
# characters found nowhere; on the forty words, the kinds above. The fixed keywords of the
# search rows are words both seeds hold where they can be (经济 in the titles), others
# where the seed has no such word (see the rows).
# --site DIR measures a copy of the site in DIR, made by `folirex init` and seeded by
# build-bench/bench/folirex-seed (its admin password in DIR/data/admin-password.txt, as init
# keeps it), instead of seeding one: a large site is seeded once and measured again and again.
# DIR itself is only read (copied into the run's work folder, which a site of 1,000,000
# articles needs some 5 GB for, and as much again for --baseline); --articles is then its count
# of articles, and its seed's words are those the seed recorded in DIR/data/bench-seed.txt
# (forty for a site seeded before it did).
# --db postgres also copies the seeded site, row for row, into a private PostgreSQL cluster
# started as the tests start theirs (tests/postgres/cluster.sh; the packages postgresql and
# odbc-postgresql) and measures the two forms side by side in alternating rounds as --baseline
# does (it cannot be combined with --baseline): req/s and p99 of each, the ratio, the server's
# CPU time per request (the time its threads ran, from /proc, over every round), the PostgreSQL
# backends' CPU per request, the host and the backends together against SQLite's CPU (all x),
# whether both answered the same bytes, and the round trips per
# statement: a second server on the PostgreSQL copy talks to it through bench/pg_wire_count.py,
# which counts the client's protocol round trips, and the page's statements are its SQL count.
# --baseline REV also builds the folirex binary of git revision REV (Release, in a temporary
# worktree; the build folder build-bench-base-<hash> is kept for the next run) with its seed, and
# measures it on a site of the same articles seeded by that seed (so indexed as that revision
# made its structures; with --site, on a copy of the site), one binary at a time, never both at
# once: each page
# gets --rounds rounds (default 3) that split --duration, alternating the two binaries, and
# the round with the median req/s of each is printed side by side, so that a burst of load
# from elsewhere on the machine weighs on both alike.
# After the pages, every run times the first request after an article change (another writer
# turns a hot flag over) on every page but the static file, the click script and the
# new-keyword searches, on each server of the run.
# --against M measures how the pages scale with the site's size: it seeds a second site of M
# articles beside the one of N (--articles), serves both with this worktree's binary (with
# --db postgres: both copied into the private cluster, two databases) and measures each page on
# both in alternating rounds as --baseline does: req/s and p50 of the median round of each, the
# ratio (N's req/s / M's), the server's CPU per request at each size (with --db postgres also
# the PostgreSQL backends'), and both servers' peak memory. The page parameters (article, class,
# deep page) are those of the smaller site, so both sizes answer the same page; beside those,
# every deep page is also measured at each site's own list's last full page (rows "LIST pS/pL":
# the smaller site at page S, the larger at page L), when the two differ. It cannot be combined
# with --baseline; the nginx reference and the held connections are left out.
# Each table closes with a line a goal: how many of its rows meet it, and which do not (deep
# pages against their list's first page on each server, and with --baseline the pages slower
# than the base; the first requests after a change within 20 ms; the new-keyword searches with
# a p50 under 20 ms and a p99 under 100 ms on each server; with --against the pages at two
# thirds of the smaller site's rate, the searches' p50 under 10 ms and the memory under 150 MB).
# Needs wrk (Debian package "wrk") and, for the reference row, nginx (Debian package "nginx");
# run as root, the script installs them with apt-get. Everything runs on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
source bench/lib.sh
articles=10000
duration=15
threads=32
baseline=""
rounds=3         # with --baseline: alternating rounds per page, splitting --duration
idle=1000
slow=256
dbkind=sqlite
against=""       # --against M: the smaller site's article count
slow_interval=3  # seconds between the header lines of a slow connection
ramp=3           # seconds for the held connections to open before wrk starts
seeded=""        # --site DIR: a seeded site to copy instead of seeding one
words=""         # --words: the seeded texts, real (the default) or forty
readers=16       # --readers: the new-keyword rows' connections at once
usage="usage: bench/run.sh [--articles N] [--duration SECONDS] [--threads N] [--baseline REV]
                    [--rounds N] [--idle N] [--slow N] [--db sqlite|postgres] [--against M]
                    [--site DIR] [--words real|forty] [--readers N]"
while [ $# -gt 0 ]; do
  case "$1" in
    --articles) articles="$2"; shift 2 ;;
    --duration) duration="$2"; shift 2 ;;
    --threads) threads="$2"; shift 2 ;;
    --baseline) baseline="$2"; shift 2 ;;
    --rounds) rounds="$2"; shift 2 ;;
    --idle) idle="$2"; shift 2 ;;
    --slow) slow="$2"; shift 2 ;;
    --db) dbkind="$2"; shift 2 ;;
    --against) against="$2"; shift 2 ;;
    --site) seeded="$2"; shift 2 ;;
    --words) words="$2"; shift 2 ;;
    --readers) readers="$2"; shift 2 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
for n in "$articles" "$duration" "$threads" "$idle" "$slow" "$rounds" "$readers" ${against:+"$against"}; do
  [[ $n =~ ^[0-9]+$ ]] || { echo "$usage" >&2; exit 2; }
done
if [ "$rounds" -lt 1 ] || [ "$duration" -lt 1 ] || [ "$readers" -lt 1 ]; then echo "$usage" >&2; exit 2; fi
if [ -n "$seeded" ] && { [ ! -f "$seeded/data/site.db" ] || [ ! -f "$seeded/data/admin-password.txt" ]; }; then
  echo "--site: $seeded is not a seeded site (no data/site.db or data/admin-password.txt)" >&2
  exit 2
fi
case "$dbkind" in sqlite | postgres) ;; *) echo "$usage" >&2; exit 2 ;; esac
case "$words" in "" | real | forty) ;; *) echo "$usage" >&2; exit 2 ;; esac
if [ -n "$seeded" ]; then
  site_words="$(seeded_words "$seeded")"
  if [ -n "$words" ] && [ "$words" != "$site_words" ]; then
    echo "--site: $seeded was seeded with the $site_words words, not --words $words" >&2
    exit 2
  fi
  words="$site_words"
fi
words="${words:-real}"
if [ -n "$against" ] && [ -n "$baseline" ]; then
  echo "--against compares two sizes; it cannot be combined with --baseline" >&2
  exit 2
fi
if [ "$dbkind" = postgres ] && [ -n "$baseline" ]; then
  echo "--db postgres compares the two databases; it cannot be combined with --baseline" >&2
  exit 2
fi
round_secs=$((duration / rounds)); [ "$round_secs" -ge 1 ] || round_secs=1

# Finds a program, installing its Debian package first when running as root.
have() { command -v "$1" >/dev/null || [ -x "/usr/sbin/$1" ]; }
need() {  # PROGRAM PACKAGE
  have "$1" && return 0
  install_package "$2"
  have "$1"
}
need wrk wrk || { echo "bench/run.sh needs wrk (apt-get install wrk)" >&2; exit 1; }
# The seed's texts: its arguments, the keyword draw's, and how the output names them.
seed_dict=""
if [ "$words" = real ]; then
  seed_dictionary
  seed_args=(--words real --dict "$seed_dict")
  seed_label="real text: words of $(basename "$(dirname "$seed_dict")")/$(basename "$seed_dict") drawn by their counts, a body per article"
else
  seed_args=(--words forty)
  seed_label="forty words: two-character words drawn uniformly, bodies from a pool of 512"
fi
nginx=""
if need nginx nginx; then
  nginx="$(command -v nginx || echo /usr/sbin/nginx)"
else
  echo "nginx not found (apt-get install nginx): the static reference row is left out" >&2
fi

# The held connections, wrk's and the servers' own files all need descriptors.
ulimit -n 65536 2>/dev/null || ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
fd_limit="$(ulimit -n)"
if [ "$fd_limit" != unlimited ] && [ "$fd_limit" -lt $((idle + slow + 1024)) ]; then
  echo "warning: the file limit ($fd_limit) is low for $idle + $slow held connections" >&2
fi

build_tree . build-bench folirex folirex-seed folirex-hold folirex-keywords
now_bin="$repo/build-bench/folirex"
hold_bin="$repo/build-bench/bench/folirex-hold"

work="$(mktemp -d "${TMPDIR:-/tmp}/folirex-bench.XXXXXX")"  # the seeded sites
pg_dir=""      # the private PostgreSQL cluster of --db postgres

cleanup() {
  set +e
  bench_cleanup
  [ -z "$pg_dir" ] || tests/postgres/cluster.sh stop "$pg_dir"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

base_bin=""
if [ -n "$baseline" ]; then
  build_revision "$baseline" --baseline
fi

password_of() { sed -n 's/.*Password:[[:space:]]*\([^[:space:]]*\).*/\1/p' <<<"$1" | head -1; }
if [ -n "$seeded" ]; then
  cp -a "$seeded/." "$work/seed"
  admin_password="$(awk 'NR == 1 { print $2 }' "$work/seed/data/admin-password.txt")"
  articles="$(sqlite3 "$work/seed/data/site.db" "select count(*) from Vantrel_Article")"
else
  init_out="$("$now_bin" init "$work/seed")"
  admin_password="$(password_of "$init_out")"
  build-bench/bench/folirex-seed "$work/seed" --articles "$articles" "${seed_args[@]}"
fi
base_password="$admin_password"
# The long article that folirex-seed writes after the others (none in a site seeded before it
# did): its id, for the row of its page.
long_of() { awk '$1 == "long_article" { print $2 }' "$1/data/bench-seed.txt" 2>/dev/null || true; }
long_article="$(long_of "$work/seed")"
if [ -n "$base_bin" ] && [ -z "$seeded" ]; then
  # The baseline's site is seeded by the baseline's own seed, which makes the structures its
  # binary reads (an older binary may not read those of a newer seed); the rows are the same.
  base_init="$("$now_bin" init "$work/site-base")"
  base_password="$(password_of "$base_init")"
  keep_common_settings "$work/site-base/folirex.conf"
  "$base_seed" "$work/site-base" --articles "$articles" "${seed_args[@]}"
  if [ -n "$long_article" ] && [ -z "$(long_of "$work/site-base")" ]; then
    # A seed from before the long article: the same row copied in, and counted in its channel.
    sqlite3 "$work/site-base/data/site.db" "attach '$work/seed/data/site.db' as seeded;
      insert into Vantrel_Article select * from seeded.Vantrel_Article where d_id = $long_article;
      update Vantrel_Channel set d_itemcount = d_itemcount + 1,
        d_itemcountchecked = d_itemcountchecked + 1 where d_id = 1"
  fi
  rows_of() { sqlite3 "$1" "select count(*), sum(length(d_title)), sum(length(d_content)) from Vantrel_Article"; }
  if [ "$(rows_of "$work/seed/data/site.db")" != "$(rows_of "$work/site-base/data/site.db")" ]; then
    echo "the baseline's seed wrote other articles than this seed: compare with care" >&2
  fi
elif [ -n "$base_bin" ]; then
  # Each binary gets its own copy of the seeded site, so that both start from the same data.
  cp -a "$work/seed" "$work/site-base"
  keep_common_settings "$work/site-base/folirex.conf"
fi
mv "$work/seed" "$work/site"
db="$work/site/data/site.db"
q() { sqlite3 "$db" "$1"; }
now_site="$work/site"
base_site="$work/site-base"
now_label=now base_label=base
small_db=""
if [ -n "$against" ]; then
  # The smaller site, served by the same binary as the "base" of the rounds.
  small_out="$("$now_bin" init "$work/site-small")"
  base_password="$(password_of "$small_out")"
  build-bench/bench/folirex-seed "$work/site-small" --articles "$against" "${seed_args[@]}"
  small_db="$work/site-small/data/site.db"
  base_bin="$now_bin"
  base_site="$work/site-small"
  now_label="$articles" base_label="$against"
fi

# The PostgreSQL form: a private cluster, a site made by `folirex init` on it, and every table
# of the seeded SQLite file copied into it row for row (CSV through psql's \copy, NULLs kept
# apart from empty text), the identity sequences set past the copied ids.
wire_pid="" pg_count_site=""
if [ "$dbkind" = postgres ]; then
  # Its own folder under /tmp: the cluster's owner (nobody, when run as root) must reach it.
  pg_dir="$(mktemp -d "${TMPDIR:-/tmp}/folirex-bench-pg.XXXXXX")"
  pg_env="$(tests/postgres/cluster.sh start "$pg_dir")"
  while IFS='=' read -r name value; do export "$name=$value"; done <<<"$pg_env"
  pg_bin="$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)"
  pg_port="${FOLIREX_PG_SERVER##*:}"
  psql_to() {  # DATABASE [PSQL ARGUMENTS...]
    local database="$1"
    shift
    PGPASSWORD="$FOLIREX_PG_PASSWORD" "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 \
      -p "$pg_port" -U "$FOLIREX_PG_USER" -d "$database" "$@"
  }
  pq() { psql_to "$1" -Atc "$2"; }  # DATABASE SQL
  # Copies the SQLite file into a new database DATABASE and makes SITE on it. The tables are
  # loaded without their secondary indexes, each by one \copy that streams sqlite3's CSV (in the
  # transaction that empties the table, so the rows go in frozen), and the indexes are made again
  # after; the list structures (triggers, search indexes) do not exist yet: the server builds
  # them from the rows when it first opens the database.
  pg_load() {  # SQLITE_FILE DATABASE SITE
    local file="$1" database="$2" site="$3" table cols defs tables
    pq postgres "CREATE DATABASE $database" >/dev/null
    "$now_bin" init "$site" --DbType 1 --DBServer "$FOLIREX_PG_SERVER" --DBPath "$database" \
      --DBUser "$FOLIREX_PG_USER" --DBPwd "$FOLIREX_PG_PASSWORD" >/dev/null
    # The tables of both forms (the SQLite file's search index tables have no counterpart).
    tables="$(comm -12 \
      <(sqlite3 "$file" "select lower(name) from sqlite_master where type='table' and name not like 'sqlite%'" | sort) \
      <(pq "$database" "select table_name from information_schema.tables where table_schema = current_schema() and table_type = 'BASE TABLE'" | sort))"
    defs="$(pq "$database" "select indexdef || ';' from pg_indexes where schemaname = current_schema() and indexname not in (select conname from pg_constraint)")"
    pq "$database" "select 'DROP INDEX ' || quote_ident(indexname) || ';' from pg_indexes where schemaname = current_schema() and indexname not in (select conname from pg_constraint)" |
      psql_to "$database" -f - >/dev/null
    for table in $tables; do
      cols="$(sqlite3 "$file" "select group_concat(name, ', ') from pragma_table_info('$table')")"
      sqlite3 -csv -nullvalue '\N' "$file" "select $cols from \"$table\"" |
        psql_to "$database" -1 -c "TRUNCATE $table" \
          -c "\\copy $table ($cols) from pstdin with (format csv, null '\\N', freeze)"
    done
    { echo "SET maintenance_work_mem = '512MB';"; echo "$defs"; } | psql_to "$database" -f - >/dev/null
    sqlite3 "$file" "select name, seq from sqlite_sequence" | while IFS='|' read -r table seq; do
      echo "SELECT setval(pg_get_serial_sequence('$(tr 'A-Z' 'a-z' <<<"$table")', 'd_id'), greatest($seq, (select coalesce(max(d_id), 0) from $table), 1));"
    done | psql_to "$database" -f - >/dev/null
    pq "$database" "VACUUM ANALYZE" >/dev/null
    # Every table holds as many rows in both forms.
    for table in $tables; do
      a="$(sqlite3 "$file" "select count(*) from \"$table\"")"; b="$(pq "$database" "select count(*) from $table")"
      [ "$a" = "$b" ] || { echo "the copy of $table into $database has $b rows, not $a" >&2; exit 1; }
    done
  }
  pg_load "$db" bench "$work/pgsite"
  [ -z "$against" ] || pg_load "$small_db" bench_small "$work/pgsite-small"
  # A copy of the site for the counting server, reaching the cluster through the wire counter.
  wire_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  python3 bench/pg_wire_count.py "$wire_port" "$pg_port" "$work/wire.stats" &
  wire_pid=$!
  pids+=("$wire_pid")
  pg_count_site="$work/pgsite-count"
  cp -a "$work/pgsite" "$pg_count_site"
  sed -i "s/^DBServer=.*/DBServer=127.0.0.1:$wire_port/" "$pg_count_site/folirex.conf"
  pg_postmaster="$(head -n 1 "$pg_dir/data/postmaster.pid")"
  # The cluster's shared memory goes into huge pages when the machine has them reserved
  # (PostgreSQL's huge_pages=try); on a virtual machine whose page faults cost the hypervisor
  # that decides much of the backends' CPU (bench/README.md).
  pg_pages="4 kB pages"
  if grep -q '^KernelPageSize: *2048 kB' "/proc/$pg_postmaster/smaps" 2>/dev/null; then
    pg_pages="2 MB huge pages"
  fi
  now_site="$work/pgsite"
  if [ -n "$against" ]; then
    base_site="$work/pgsite-small"
  else
    base_bin="$now_bin"
    base_site="$work/site"
    now_label=pg base_label=sqlite
  fi
fi
for conf in "$work"/*/folirex.conf; do trust_loopback "$conf"; done

peak_memory() { awk '/VmHWM/{print $2, $3}' "/proc/$1/status"; }

# Runs wrk against URL for SECONDS (killed after LIMIT seconds when given) and sets m_rps,
# m_p50, m_p99, m_requests (answers) and m_err (socket errors and non-2xx/3xx answers, or
# "none"). With kw_file set, a new-keyword row: wrk appends to URL (which ends in
# "searchkeyword=") the keywords of lines kw_first to kw_first + kw_count - 1 of kw_file in turn
# (bench/keywords.lua), which sends for SECONDS and then waits for every answer (up to a minute
# more; LIMIT grows by as much): m_rps is then their own rate, m_ran_out "yes" when the slice ran
# out before SECONDS did, and an answer other than 200 is an error too.
measure() {  # URL SECONDS [LIMIT]
  local url="$1" secs="$2" limit="${3:-0}" out rc=0 errors non2xx requests summary
  local header=() script=() script_args=() sent answered not200 ran_out rate wrk_secs="$secs"
  local wrk_threads=2 connections=16
  [ -z "${wrk_cookie:-}" ] || header=(-H "Cookie: $wrk_cookie")
  [ -n "${one_address:-}" ] || script=(-s "$repo/bench/addresses.lua")
  m_ran_out=""
  if [ -n "${kw_file:-}" ]; then
    connections="$readers"
    [ "$connections" -ge 2 ] || wrk_threads=1
    rm -f "$work/keywords.done"
    wrk_secs=$((secs + 60))
    [ "$limit" = 0 ] || limit=$((limit + 60))
    script=(-s "$repo/bench/keywords.lua" --timeout "${wrk_secs}s")
    script_args=(-- "$kw_file" "$kw_first" "$kw_count" "$wrk_threads" "$work/keywords.done" "$secs")
  fi
  out="$(timeout -k 5 "$limit" wrk -t"$wrk_threads" -c"$connections" -d"${wrk_secs}s" --latency \
    "${header[@]}" "${script[@]}" "$url" "${script_args[@]}" 2>&1)" || rc=$?
  if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
    m_rps="-"; m_p50="-"; m_p99="-"; m_requests=0; m_err="wrk timed out after $limit s"
    return
  elif [ "$rc" != 0 ]; then
    m_rps="-"; m_p50="-"; m_p99="-"; m_requests=0
    m_err="wrk failed: $(tr '\n' ' ' <<<"$out")"
    return
  fi
  m_rps="$(awk '/Requests\/sec/{print $2}' <<<"$out")"
  m_p50="$(awk '$1=="50%"{print $2}' <<<"$out")"
  m_p99="$(awk '$1=="99%"{print $2}' <<<"$out")"
  requests="$(awk '/requests in/{print $1}' <<<"$out")"
  m_requests="${requests:-0}"
  if [ "${requests:-0}" = 0 ]; then m_p50="-"; m_p99="-"; fi
  errors="$(sed -n 's/^ *Socket errors: //p' <<<"$out")"
  non2xx="$(sed -n 's/^ *Non-2xx or 3xx responses: //p' <<<"$out")"
  m_err="${errors:+socket errors: $errors}"
  [ -z "$non2xx" ] || m_err="${m_err:+$m_err; }non-2xx/3xx answers: $non2xx"
  [ "${requests:-0}" != 0 ] ||
    m_err="${m_err:+$m_err; }no request answered ($(awk '/requests in/{print $1, $2, $3, $4}' <<<"$out" | tr -d ,))"
  if [ -n "${kw_file:-}" ]; then
    # "keywords: sent S answered A not200 N seconds T ran_out yes|no rate R"
    summary="$(grep '^keywords:' <<<"$out" || true)"
    read -r _ _ sent _ answered _ not200 _ _ _ ran_out _ rate <<<"$summary"
    if [ -z "$summary" ]; then
      m_rps="-"
      m_err="${m_err:+$m_err; }bench/keywords.lua printed no summary: $(tr '\n' ' ' <<<"$out")"
    else
      m_rps="$rate" m_requests="$answered" m_ran_out="$ran_out"
      [ "$not200" = 0 ] || m_err="${m_err:+$m_err; }answers other than 200: $not200"
      # The script waits for the answer to every keyword it sent, unless wrk's bound ended it.
      [ "$sent" = "$answered" ] || m_err="${m_err:+$m_err; }$sent keywords sent, $answered answered"
    fi
  fi
  m_err="${m_err:-none}"
}
# wrk prints a latency as 850.00us, 1.23ms, 1.20s or 2.00m: in ms, or "-".
to_ms() {  # LATENCY
  awk -v v="$1" 'BEGIN {
    if (v ~ /us$/) f = 0.001; else if (v ~ /ms$/) f = 1; else if (v ~ /s$/) f = 1000
    else if (v ~ /m$/) f = 60000
    if (f > 0) printf "%.2f", v * f; else print "-" }'
}
median() {  # "RPS P50 P99 ..."...: the line with the median RPS
  printf '%s\n' "$@" | sort -g -k1,1 | sed -n "$((($# + 1) / 2))p"
}
# One request, waited for, before a page's warm-up: what a page keeps against the data version
# (a search's count, its matching ids) is then taken once, not by all of wrk's connections at
# the same time, which on a large site would load the machine for the next pages' rounds too.
prime() {  # URL [COOKIE]
  curl -s -o /dev/null --max-time 900 ${2:+-b "$2"} "$1" || true
}
warm_up() {  # URL [LIMIT]; sets w_requests, the requests answered
  local header=() out
  [ -z "${wrk_cookie:-}" ] || header=(-H "Cookie: $wrk_cookie")
  out="$(timeout -k 5 "${2:-0}" wrk -t2 -c16 -d5s "${header[@]}" "$1" 2>&1 || true)"
  w_requests="$(awk '/requests in/{print $1}' <<<"$out")"
  w_requests="${w_requests:-0}"
}
# CPU time (user + system) of a process and of its children still running, in microseconds: the
# time each of their threads has run, which the kernel keeps in nanoseconds. /proc/PID/stat counts
# whole clock ticks of 10 ms, cut on each read and for each process, so a row of few requests
# over sixteen PostgreSQL backends moved by up to sixteen ticks. A thread that ends between two
# reads takes its time with it; the servers' threads and backends live as long as they do.
cpu_us() {  # PID
  local p
  for p in "$1" $(ps -o pid= --ppid "$1" 2>/dev/null); do
    cat /proc/"$p"/task/*/schedstat 2>/dev/null || true
  done | awk '{ ns += $1 } END { printf "%.0f", ns / 1000 }'
}
per_request() {  # US REQUESTS: microseconds of CPU per request
  awk -v t="$1" -v n="$2" 'BEGIN { if (n > 0) printf "%.0f", t / n; else print "-" }'
}
ratio() {  # A B: A / B
  awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9.]+$/ && b + 0 > 0) printf "%.2f", a / b; else print "-" }'
}
change() {  # NOW BASE: the change from BASE to NOW in percent
  awk -v a="$1" -v b="$2" 'BEGIN { if (a ~ /^[0-9.]+$/ && b + 0 > 0) printf "%+.1f%%", (a - b) / b * 100; else print "-" }'
}

port=$(free_port)
start_server "$now_bin" "$now_site" "$port" "$threads" "$work/server.err"
now_pid=$server_pid
if [ -n "$base_bin" ]; then
  base_port=$(free_port)
  start_server "$base_bin" "$base_site" "$base_port" "$threads" "$work/server-base.err"
  base_pid=$server_pid
fi
echo "servers started: $(date -u +%H:%M:%S)" >&2
# A second server on the same site counts each page's SQL statements, outside the measurements.
count_port=$(free_port)
start_server "$now_bin" "${pg_count_site:-$work/site}" "$count_port" 2 "$work/server.log" \
  FOLIREX_SQL_COUNT=1
count_pid=$server_pid

# With --against, the page parameters come from the smaller site, so both sizes answer the same
# page (the seeding makes the same first articles at every size).
qp() { if [ -n "$small_db" ]; then sqlite3 "$small_db" "$1"; else q "$1"; fi; }
article=$(qp "select min(d_id) from Vantrel_Article where d_channelid=1 and d_paginationtype=0 and d_checked=-1 and d_deleted=0")
paged=$(qp "select min(d_id) from Vantrel_Article where d_channelid=1 and d_paginationtype=2 and d_checked=-1 and d_deleted=0")
class=$(qp "select d_classid from Vantrel_Article where d_channelid=1 group by d_classid order by count(*) desc limit 1")
count=$(qp "select count(*) from Vantrel_Article where d_classid=$class and d_checked=-1 and d_deleted=0")
# A deep page is the last full page of its list (twenty rows; at most page CAP): the last page
# itself may hold a row or two, and would then cost less than a first page or the same page of a
# larger site, which is full.
full_page() {  # ROWS CAP
  local n=$(($1 / 20))
  [ "$n" -gt "$2" ] && n=$2
  [ "$n" -ge 1 ] || n=1
  echo "$n"
}
deep=$(full_page "$count" 500)

# Console pages are measured signed in: each server keeps its own sessions, so each gets its own
# sign-in (the session cookie "name=value"; empty when the sign-in was refused).
sign_in() {  # PORT [PASSWORD]
  curl -s -o /dev/null -c - --data-urlencode "usercode=admin" \
    --data-urlencode "password=${2:-$admin_password}" \
    "http://127.0.0.1:$1/admin.asp?m=admin_login&action=check" |
    awk '$1 ~ /^(#HttpOnly_)?[0-9A-Za-z.]/ && NF == 7 {print $6 "=" $7; exit}'
}
cookie_now="$(sign_in "$port")"
cookie_count="$(sign_in "$count_port")"
cookie_base=""
[ -z "$base_bin" ] || cookie_base="$(sign_in "$base_port" "$base_password")"

declare -a names paths console base_paths kwfiles
# A page: its name, its path on every server of the run, and "console" when signed in.
add() { names+=("$1"); paths+=("$2"); console+=("${3:-}"); base_paths+=("$2"); kwfiles+=(""); }
last_row() { echo $((${#names[@]} - 1)); }
article_path="/asp.asp?m=content&articleid=$article&channelid=1"
static_path="/images/hot.gif"
add "home"                 "/asp.asp"
add "channel first page"   "/asp.asp?channelid=1"
add "article"              "$article_path"
add "paged article p2"     "/asp.asp?m=content&articleid=$paged&channelid=1&page=2"
# The long article's page (about 1,000,000 characters, a 2 MB page); with --against each site's
# own.
if [ -n "$long_article" ]; then
  add "long article"       "/asp.asp?m=content&articleid=$long_article&channelid=1"
  [ -z "$against" ] || base_paths[$(last_row)]="/asp.asp?m=content&articleid=$(long_of "$work/site-small")&channelid=1"
fi
add "class list p1"        "/asp.asp?m=classlist&classid=$class&channelid=1"
add "class list p$deep"    "/asp.asp?m=classlist&classid=$class&channelid=1&page=$deep"
# With --against, a deep page also at each site's own last full page, computed as above for
# each: the row "LIST pS/pL" asks the smaller site for page S and the larger for page L (left out
# when they are the same page). ROWS_SQL counts the list's rows.
add_own_deep() {  # NAME CAP ROWS_SQL PATH_WITHOUT_PAGE [console]
  [ -n "$against" ] || return 0
  local small large
  small=$(full_page "$(qp "$3")" "$2")
  large=$(full_page "$(q "$3")" "$2")
  [ "$small" != "$large" ] || return 0
  add "$1 p$small/p$large" "$4&page=$large" "${5:-}"
  base_paths[$(last_row)]="$4&page=$small"
}
add_own_deep "class list" 500 \
  "select count(*) from Vantrel_Article where d_classid=$class and d_checked=-1 and d_deleted=0" \
  "/asp.asp?m=classlist&classid=$class&channelid=1"
add "newest list"          "/asp.asp?m=newlist&channelid=1"
add "search, no keyword"   "/asp.asp?m=search&channelid=1"
# Like's wildcards alone, which every title and nearly every body hold: against the row above.
add "search, wildcards %"  "/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=%25"
add "body search, %_%"     "/asp.asp?m=search&channelid=1&searchtype=d_content&searchkeyword=%25_%25"
add "body search, __"      "/asp.asp?m=search&channelid=1&searchtype=d_content&searchkeyword=__"
add "search, keyword"      "/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=%BE%AD%BC%C3"
# The keywords of the rows below that depend on the seed's words, and the search form's GB2312
# percent-encoding of a keyword.
if [ "$words" = forty ]; then
  title4=经济发展 body1=经 body4=经济发展 rare1=续 rare4=济：经济
else
  title4=人民政府 body1=一 body4=人民政府 rare1=斧 rare4=一见钟情
fi
gb() { printf '%s' "$1" | iconv -f utf-8 -t gbk | od -An -tx1 -v | tr -d ' \n' | tr a-f A-F | sed 's/../%&/g'; }
# Keywords of one and four characters ("经" and the seed's title4: "经济发展" in the forty words;
# on real text "人民政府", a word of one title in some 400), an author, and Latin letters in the
# inputers.
add "search, 1 character"  "/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=%BE%AD"
add "search, 4 characters" "/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=$(gb "$title4")"
add "search, author"       "/asp.asp?m=search&channelid=1&searchtype=d_author&searchkeyword=%D5%C5%CE%B0"
add "search, inputer"      "/asp.asp?m=search&channelid=1&searchtype=d_inputer&searchkeyword=dmi"
# The bodies: a keyword of one and of four characters found in nearly every body and in many,
# and a rarer one of each. The forty words: "经", "经济发展"; "续" only in the continued
# articles' second pages (one in ten), "济：经济" only where those repeat a title that holds it
# (one in 16,000). Real text: "一" (all but one body in a thousand), "人民政府" (one in ten);
# "斧" (one in a hundred), "一见钟情" (one in 1,500).
add "body search, 1 common"  "/asp.asp?m=search&channelid=1&searchtype=d_content&searchkeyword=$(gb "$body1")"
add "body search, 4 common"  "/asp.asp?m=search&channelid=1&searchtype=d_content&searchkeyword=$(gb "$body4")"
add "body search, 1 rare"    "/asp.asp?m=search&channelid=1&searchtype=d_content&searchkeyword=$(gb "$rare1")"
add "body search, 4 rare"    "/asp.asp?m=search&channelid=1&searchtype=d_content&searchkeyword=$(gb "$rare4")"
# Searches as readers make them: on every request a keyword its server has not been asked
# before, from lists drawn from the texts of the site whose page parameters the rows use (the
# smaller one with --against, whose texts the larger holds too). The kind of keywords found
# nowhere has enough for a whole run of one server at 20,000 requests a second.
kw_dir="$work/keywords"
kw_none=$((duration * 20000))
[ "$kw_none" -ge 200000 ] || kw_none=200000
build-bench/bench/folirex-keywords "${small_db:-$db}" "$kw_dir" --none "$kw_none" \
  ${seed_dict:+--dict "$seed_dict"} \
  >/dev/null
add_kw() {  # NAME COLUMN LIST (title-char, body-words2, ...: a file of bench/keywords.cpp)
  add "$1" "/asp.asp?m=search&channelid=1&searchtype=$2&searchkeyword="
  kwfiles[$(last_row)]="$kw_dir/$3.txt"
}
for column in title body; do
  searchtype=d_title
  [ "$column" = title ] || searchtype=d_content
  if [ "$words" = forty ]; then
    add_kw "new kw $column, 1 char"   "$searchtype" "$column-char"
    add_kw "new kw $column, word"     "$searchtype" "$column-word"
    add_kw "new kw $column, 2 across" "$searchtype" "$column-across"
    add_kw "new kw $column, 2 words"  "$searchtype" "$column-words2"
    add_kw "new kw $column, 6 chars"  "$searchtype" "$column-chars6"
  else
    # Words of the dictionary of two to four characters by its counts (1,000 or more, 50 to 999,
    # under 50), cuts of the texts, two common words together.
    add_kw "new kw $column, common"   "$searchtype" "$column-common"
    add_kw "new kw $column, middling" "$searchtype" "$column-middling"
    add_kw "new kw $column, rare"     "$searchtype" "$column-rare"
    add_kw "new kw $column, cut 1-2"  "$searchtype" "$column-cut12"
    add_kw "new kw $column, cut 3-6"  "$searchtype" "$column-cut36"
    add_kw "new kw $column, 2 common" "$searchtype" "$column-pair"
  fi
  add_kw "new kw $column, nowhere"  "$searchtype" "$column-none"
done
# Deep pages of the other paged lists: the newest list and the searches page twenty rows at a
# time; public pages capped at 500, the manager's at 2500. Before the click script, whose clicks
# land on the oldest article, which the last pages may show.
listed=$(qp "select count(*) from Vantrel_Article where d_channelid=1 and d_checked=-1 and d_deleted=0")
ldeep=$(full_page "$listed" 500)
found=$(qp "select count(*) from Vantrel_Article where d_channelid=1 and d_checked=-1 and d_deleted=0 and d_title like '%经济%'")
fdeep=$(full_page "$found" 500)
mfound=$(qp "select count(*) from Vantrel_Article where d_channelid=1 and d_deleted=0 and d_title like '%经济%'")
mfdeep=$(full_page "$mfound" 2500)
add "newest list p$ldeep"  "/asp.asp?m=newlist&channelid=1&page=$ldeep"
add "search, no kw p$ldeep" "/asp.asp?m=search&channelid=1&page=$ldeep"
add "search, kw p$fdeep"   "/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=%BE%AD%BC%C3&page=$fdeep"
add "manager search p$mfdeep" "/admin.asp?m=admin_article&channelid=1&qtitle=%BE%AD%BC%C3&page=$mfdeep" console
listed_sql="select count(*) from Vantrel_Article where d_channelid=1 and d_checked=-1 and d_deleted=0"
add_own_deep "newest list" 500 "$listed_sql" "/asp.asp?m=newlist&channelid=1"
add_own_deep "search, no kw" 500 "$listed_sql" "/asp.asp?m=search&channelid=1"
add_own_deep "search, kw" 500 "$listed_sql and d_title like '%经济%'" \
  "/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=%BE%AD%BC%C3"
add_own_deep "manager search" 2500 \
  "select count(*) from Vantrel_Article where d_channelid=1 and d_deleted=0 and d_title like '%经济%'" \
  "/admin.asp?m=admin_article&channelid=1&qtitle=%BE%AD%BC%C3" console
# The list script as a content page's comment chip asks for it: the article's latest comments.
commented=$(qp "select min(c.d_infoid) from Vantrel_ArticleComment c join Vantrel_Article a on a.d_id = c.d_infoid where a.d_channelid=1 and a.d_checked=-1 and a.d_deleted=0 and c.d_checked=-1")
add "comment list script"  "/asp.asp?m=commentlist&articleid=${commented:-$article}&pagetype=content&parameter=10&channelid=1"
add "click script"         "/asp.asp?m=click&articleid=$article&channelid=1"
# The article manager of channel 1: its first page, a deep page and a title search, signed in.
live=$(qp "select count(*) from Vantrel_Article where d_channelid=1 and d_deleted=0")
mdeep=$(full_page "$live" 2500)
add "manager p1"           "/admin.asp?m=admin_article&channelid=1" console
add "manager p$mdeep"      "/admin.asp?m=admin_article&channelid=1&page=$mdeep" console
add_own_deep "manager" 2500 "select count(*) from Vantrel_Article where d_channelid=1 and d_deleted=0" \
  "/admin.asp?m=admin_article&channelid=1" console
add "manager title search" "/admin.asp?m=admin_article&channelid=1&qtitle=%BE%AD%BC%C3" console
# The static file stays last: the nginx reference below compares with its figures.
add "static file"          "$static_path"

join_comma() { local out="" x; for x in "$@"; do out+="${out:+, }$x"; done; echo "$out"; }
# The PostgreSQL form measured against the SQLite form (--db postgres without --against).
cmp_db=""
[ "$dbkind" != postgres ] || [ -n "$against" ] || cmp_db=1
row() {  # NAME RPS BASE_RPS CHANGE P50 P99 BASE_P50 BASE_P99 STATUS SQL
  if [ -n "$against" ]; then
    printf '%-24s %9s %9s %6s %8s %8s %8s %8s %8s %8s %6s %4s
' "$@"
  elif [ -n "$cmp_db" ]; then
    printf '%-24s %9s %9s %6s %9s %9s %8s %8s %6s %8s %6s %5s %7s %5s %7s\n' "$@"
  elif [ -n "$base_bin" ]; then
    printf '%-24s %10s %10s %8s %9s %9s %9s %9s %7s %5s %6s %7s\n' "$@"
  else
    printf '%-24s %10s %10s %10s %6s %8s\n' "$1" "$2" "$5" "$6" "$9" "${10}"
  fi
}

# Three keywords of each new-keyword list asked of the counting server (a process of its own,
# which takes them from the end of each list): the answer must be a 200 and the result page of
# that keyword; the matches it counts are printed, which differ between keywords of a kind.
kw_line() { sed -n "$2p" "$1"; }  # FILE LINE: a new-keyword list's keyword, percent-encoded
echo "new-keyword lists checked on the counting server (keyword: matches counted on its result page):"
for i in "${!names[@]}"; do
  kw="${kwfiles[$i]}"
  [ -n "$kw" ] || continue
  n=$(wc -l <"$kw")
  seen=()
  for k in 5 6 7; do
    word="$(kw_line "$kw" $((n - k)))"
    asked="$(printf '%b' "${word//%/\\x}" | iconv -f gbk -t utf-8)"
    code=$(curl -s -o "$work/kw-page" -w '%{http_code}' \
      "http://127.0.0.1:$count_port${paths[$i]}$word" || true)
    page="$(iconv -f gbk -t utf-8 "$work/kw-page" 2>/dev/null || true)"
    shown="$(sed -n 's/.*searchtitle">[^<]*<font color=red>\([^<]*\)<\/font>.*/\1/p' <<<"$page" | head -n 1)"
    matches="$(sed -n 's/.*共<b>\([0-9]*\)<\/b>个.*/\1/p' <<<"$page" | head -n 1)"
    [ -n "$matches" ] || ! grep -q '暂时没有数据' <<<"$page" || matches=0
    if [ "$code" != 200 ] || [ "$shown" != "$asked" ] || [ -z "$matches" ]; then
      seen+=("$asked: status $code, NOT its result page")
    else
      seen+=("$asked: $matches")
    fi
  done
  printf '  %-24s %s\n' "${names[$i]}" "$(join_comma "${seen[@]}")"
done
echo
printf '%s articles; wrk -t2 -c16, 5 s warm-up, %s s measured; server --threads %s\n' \
  "$articles" "$duration" "$threads"
printf 'seed: %s\n' "$seed_label"
printf 'measured requests come as from 64 client addresses a wrk thread (X-Forwarded-For from\n'
printf '127.0.0.1, the servers'"'"' trusted proxy), so the bound of pages a client address has in\n'
printf 'progress does not hold wrk'"'"'s connections back (the long article from one address)\n'
printf 'new kw rows: on every request a keyword its server has not been asked before, %s at\n' \
  "$readers"
printf 'once, after a warm-up searching the list'"'"'s first 48 in channel 1'"'"'s largest class; req/s over\n'
printf 'their own span (their lists and slices in a table after the pages)\n'
[ -z "$against" ] ||
  printf 'LIST pS/pL: a deep page at each site'"'"'s own last full page (S the smaller'"'"'s, L the larger'"'"'s)\n'
if [ -n "$cmp_db" ]; then
  printf 'the same site in both forms; each page: warm-up of both, then %s rounds of %s s\n' \
    "$rounds" "$round_secs"
  printf 'alternating PostgreSQL and SQLite (ABBA...); req/s and p99 of the round with the median\n'
  printf 'req/s; ratio = SQLite req/s / PostgreSQL req/s; CPU = the server'"'"'s user + system time\n'
  printf 'per request over all rounds (pg db: the PostgreSQL backends'"'"'); rt/stmt = protocol round\n'
  printf 'trips per statement, counted on the wire (bench/pg_wire_count.py) for one steady request;\n'
  printf 'all x = (pg us + pg db us) / sqlite us: the host and the backends together (goal: <= 2)\n'
  printf 'the cluster'"'"'s shared memory: %s (vm.nr_hugepages %s)\n' "$pg_pages" \
    "$(cat /proc/sys/vm/nr_hugepages 2>/dev/null || echo unknown)"
  row page "sqlite/s" "pg/s" ratio "sqlite p99" "pg p99" "sqlite us" "pg us" "cpu x" "pg db us" \
    "all x" sql rt "rt/st" bytes
elif [ -n "$against" ]; then
  printf 'sizes: %s articles (small) and %s (large), %s form, this worktree'"'"'s binary on both;\n' \
    "$against" "$articles" "$dbkind"
  printf 'each page: warm-up of both, then %s rounds of %s s alternating the sizes (ABBA...); req/s\n' \
    "$rounds" "$round_secs"
  printf 'and p50 of the round with the median req/s; ratio = large req/s / small req/s (goal:\n'
  printf '>= 0.67); us = the server'"'"'s user + system CPU per request over all rounds%s\n' \
    "$([ "$dbkind" != postgres ] || echo "; db us = the PostgreSQL backends'")"
  row page "${against}/s" "${articles}/s" ratio "p50 S" "p50 L" "us S" "us L" "db us S" \
    "db us L" sql stat
elif [ -n "$base_bin" ]; then
  printf 'now: this worktree, built in build-bench; base: %s = %s, built in %s\n' "$baseline" \
    "${base_hash:0:10}" "build-bench-base-${base_hash:0:10}..."
  printf 'each page: warm-up of both, then %s rounds of %s s alternating now and base (ABBA...);\n' \
    "$rounds" "$round_secs"
  printf 'the figures are those of the round with the median req/s; us = the server'"'"'s user +\n'
  printf 'system CPU per request over all rounds, the figure a loaded machine disturbs least\n'
  row page "req/s" "base req/s" change p50 p99 "base p50" "base p99" status sql us "base us"
else
  row page "req/s" - - p50 p99 - - status sql
fi
notes=()
pages=0 half=0 cpu2=0 all2=0 all_rt=0 all_sql=0 click_note=""
declare -A rate_now=() rate_base=() p50_now=() cpu_now=() cpu_base=()
pg_slow=() pg_cpu=()
# A ratio that is a number (not "-", a page wrk could not measure) within a bound.
at_most_2() { awk -v r="$1" 'BEGIN { exit !(r ~ /^[0-9.]+$/ && r <= 2) }'; }  # RATIO
at_least() { awk -v r="$1" -v m="$2" 'BEGIN { exit !(r ~ /^[0-9.]+$/ && r >= m) }'; }  # RATIO MIN
# Sets kw_file, kw_first and kw_count for measure(): for row I, the slice SLICE (1-based) of
# SLICES, so that each round of a server asks keywords of its own; nothing for other rows. The
# list's last line is kept out of the slices for the answers checked outside the rounds.
# A new-keyword row's statements are prepared on each server's pooled connections before its
# rounds, as a running server's are: each server first searches the first 48 of the row's
# keywords in channel 1's largest class, through wrk's 16 connections at once as the rounds send
# them, so that every pooled connection has run the row's kind of search on the same list's rows.
# What a search keeps and what it has been asked is kept for its list, the class's here, so none
# of the row's keywords counts as asked before, or is found quicker, in channel 1 as a whole.
# Without this the first round of each row paid each connection's first run of its statements,
# and on PostgreSQL each backend's first reads of the tables and indexes the search plans on.
warm_class=$(qp "select coalesce((select d_classid from Vantrel_Article where d_channelid = 1 and d_checked = -1 and d_deleted = 0 group by d_classid order by count(*) desc, d_classid limit 1), 0)")
kw_warm_up() {  # URL LIST: URL a new-keyword row's, of channel 1, ending in "searchkeyword="
  [ "$warm_class" != 0 ] || return 0
  # "\&": in bash 5.2 a bare "&" in the replacement stands for the text it replaces.
  local url="${1/searchkeyword=/searchclass=$warm_class\&searchkeyword=}" lines count
  lines=$(wc -l <"$2")
  count=$((lines < 48 ? lines : 48))
  rm -f "$work/keywords.done"
  timeout -k 5 90 wrk -t2 -c16 -d60s --timeout 60s -s "$repo/bench/keywords.lua" "$url" \
    -- "$2" 1 "$count" 2 "$work/keywords.done" 30 >/dev/null 2>&1 || true
}
use_slice() {  # I SLICE SLICES
  kw_file="${kwfiles[$1]}"
  [ -n "$kw_file" ] || return 0
  kw_count=$(( (kw_lines - 1) / $3 ))
  kw_first=$(( ($2 - 1) * kw_count + 1 ))
}
declare -A kw_slice=() kw_now=() kw_base=() p99_now=() p50_base=() p99_base=()
for i in "${!names[@]}"; do
  path="${paths[$i]}"
  bpath="${base_paths[$i]}"
  kw="${kwfiles[$i]}"
  kw_file=""
  kw_tail=""  # a new-keyword row's keyword for the answers checked outside the rounds
  if [ -n "$kw" ]; then
    kw_lines=$(wc -l <"$kw")
    kw_tail="$(kw_line "$kw" "$kw_lines")"
  fi
  signed=""
  [ -z "${console[$i]}" ] || signed=1
  # The long article's 2 MB answers come from one address, as before: from many at once, the
  # host's bound of what visitors' answers may hold refuses some (503), which is its design.
  one_address=""
  [ "${names[$i]}" != "long article" ] || one_address=1
  count_url="http://127.0.0.1:$count_port$path"
  rt=-
  # Steady state: the texts run before are prepared, the pooled connections open, what a page
  # keeps in memory read. The counting server, a process of its own, takes a new-keyword row's
  # keywords from the end of its list: three before, and a fourth, its first request, counted.
  if [ -n "$kw" ]; then
    for k in 1 2 3; do
      curl -s -o /dev/null "$count_url$(kw_line "$kw" $((kw_lines - k)))"
    done
    count_url+="$(kw_line "$kw" $((kw_lines - 4)))"
  else
    for _ in 1 2 3; do curl -s -o /dev/null ${signed:+-b "$cookie_count"} "$count_url"; done
  fi
  sleep 0.05
  if [ -n "$pg_count_site" ]; then
    rt0=$(awk '$1=="round_trips"{print $2}' "$work/wire.stats")
  fi
  : > "$work/server.log"  # the counting server appends one line per page
  status=$(curl -s -o /dev/null -w '%{http_code}' ${signed:+-b "$cookie_count"} "$count_url")
  sleep 0.05
  sql=$(awk '/^sql /{print $2; exit}' "$work/server.log"); sql=${sql:--}
  if [ -n "$pg_count_site" ]; then
    rt=$(( $(awk '$1=="round_trips"{print $2}' "$work/wire.stats") - rt0 ))
  fi
  now_url="http://127.0.0.1:$port$path"
  wrk_cookie=""
  [ -z "$signed" ] || wrk_cookie="$cookie_now"
  # A new-keyword row has no priming, and its warm-up is in another channel: either would spend
  # keywords.
  [ -n "$kw" ] || prime "$now_url" "${signed:+$cookie_now}"
  if [ -z "$base_bin" ]; then
    if [ -n "$kw" ]; then
      kw_warm_up "$now_url" "$kw"
      use_slice "$i" 1 1
    else
      warm_up "$now_url"
    fi
    measure "$now_url" "$duration" $((duration + 30))
    kw_file=""
    rps=$m_rps p50=$m_p50 p99=$m_p99
    [ "$m_err" = none ] || notes+=("${names[$i]}: $m_err")
    b_rps=- b_p50=- b_p99=-
    if [ -n "$kw" ]; then
      kw_slice[${names[$i]}]="$kw_lines $kw_count 1"
      kw_now[${names[$i]}]="$m_requests $([ "$m_ran_out" = yes ] && echo 1 || echo 0)"
    fi
  else
    base_url="http://127.0.0.1:$base_port$bpath"
    if [ -n "$kw" ]; then
      b_status=$(curl -s -o /dev/null -w '%{http_code}' "$base_url$kw_tail")
    else
      prime "$base_url" "${signed:+$cookie_base}"
      b_status=$(curl -s -o /dev/null -w '%{http_code}' ${signed:+-b "$cookie_base"} "$base_url")
    fi
    [ "$b_status" = "$status" ] || status="$status/$b_status"
    clicks_before=""
    if [ -n "$cmp_db" ] && [[ $path == *m=click\&* ]]; then
      clicks_before="$(pq bench "select d_clicktimes from vantrel_article where d_id = $article") $(q "select d_clicktimes from Vantrel_Article where d_id = $article")"
    fi
    now_warm=0 base_warm=0
    if [ -z "$kw" ]; then
      warm_up "$now_url"
      now_warm=$w_requests
      [ -z "$signed" ] || wrk_cookie="$cookie_base"
      warm_up "$base_url"
      base_warm=$w_requests
    fi
    now_runs=() base_runs=()
    now_cpu=0 base_cpu=0 now_requests=0 base_requests=0 db_cpu=0 base_db_cpu=0
    now_out=0 base_out=0
    same=-
    if [ -n "$cmp_db" ]; then
      curl -s -o "$work/body-now" ${signed:+-b "$cookie_now"} "$now_url$kw_tail" || true
      curl -s -o "$work/body-base" ${signed:+-b "$cookie_base"} "$base_url$kw_tail" || true
      if cmp -s "$work/body-now" "$work/body-base"; then same=same; else same=differ; fi
    fi
    if [ -n "$kw" ]; then
      kw_warm_up "$now_url" "$kw"
      kw_warm_up "$base_url" "$kw"
    fi
    for r in $(seq "$rounds"); do
      # Round r of each server takes slice r of a new-keyword row's list.
      use_slice "$i" "$r" "$rounds"
      if (( r % 2 )); then order=(now base); else order=(base now); fi
      for who in "${order[@]}"; do
        if [ "$who" = now ]; then url=$now_url; else url=$base_url; fi
        if [ -n "$signed" ]; then
          if [ "$who" = now ]; then wrk_cookie="$cookie_now"; else wrk_cookie="$cookie_base"; fi
        fi
        if [ "$who" = now ]; then pid=$now_pid; else pid=$base_pid; fi
        t0=$(cpu_us "$pid")
        [ "$dbkind" != postgres ] || d0=$(cpu_us "$pg_postmaster")
        measure "$url" "$round_secs" $((round_secs + 30))
        t1=$(cpu_us "$pid")
        if [ "$who" = now ]; then
          now_runs+=("$m_rps $m_p50 $m_p99 $m_requests")
          now_cpu=$((now_cpu + t1 - t0)) now_requests=$((now_requests + m_requests))
          [ "$dbkind" != postgres ] || db_cpu=$((db_cpu + $(cpu_us "$pg_postmaster") - d0))
          [ "$m_ran_out" != yes ] || now_out=$((now_out + 1))
        else
          base_runs+=("$m_rps $m_p50 $m_p99 $m_requests")
          base_cpu=$((base_cpu + t1 - t0)) base_requests=$((base_requests + m_requests))
          [ "$dbkind" != postgres ] ||
            base_db_cpu=$((base_db_cpu + $(cpu_us "$pg_postmaster") - d0))
          [ "$m_ran_out" != yes ] || base_out=$((base_out + 1))
        fi
        [ "$m_err" = none ] || notes+=("${names[$i]} ($who, round $r): $m_err")
      done
    done
    kw_file=""
    read -r rps p50 p99 answered <<<"$(median "${now_runs[@]}")"
    read -r b_rps b_p50 b_p99 b_answered <<<"$(median "${base_runs[@]}")"
    if [ -n "$kw" ]; then
      kw_slice[${names[$i]}]="$kw_lines $kw_count $rounds"
      kw_now[${names[$i]}]="$answered $now_out"
      kw_base[${names[$i]}]="$b_answered $base_out"
    fi
  fi
  if [ -n "$against" ]; then
    r=$(ratio "$rps" "$b_rps")
    db_s=- db_l=-
    if [ "$dbkind" = postgres ]; then
      db_s=$(per_request "$base_db_cpu" "$base_requests")
      db_l=$(per_request "$db_cpu" "$now_requests")
    fi
    row "${names[$i]}" "$b_rps" "$rps" "$r" "$b_p50" "$p50" \
      "$(per_request "$base_cpu" "$base_requests")" "$(per_request "$now_cpu" "$now_requests")" \
      "$db_s" "$db_l" "$sql" "$status"
  elif [ -n "$cmp_db" ]; then
    now_us=$(per_request "$now_cpu" "$now_requests")
    base_us=$(per_request "$base_cpu" "$base_requests")
    rt_st=-
    [[ $sql =~ ^[0-9]+$ ]] && [ "$sql" -gt 0 ] && rt_st=$(ratio "$rt" "$sql")
    db_us=$(per_request "$db_cpu" "$now_requests")
    all_us=-
    [[ $now_us =~ ^[0-9]+$ ]] && [[ $db_us =~ ^[0-9]+$ ]] && all_us=$((now_us + db_us))
    row "${names[$i]}" "$b_rps" "$rps" "$(ratio "$b_rps" "$rps")" "$b_p99" "$p99" "$base_us" \
      "$now_us" "$(ratio "$now_us" "$base_us")" "$db_us" "$(ratio "$all_us" "$base_us")" \
      "$sql" "$rt" "$rt_st" "$same"
    # Every page counts; one that wrk could not measure (ratio "-") meets no target.
    pages=$((pages + 1))
    pr=$(ratio "$b_rps" "$rps")
    if at_most_2 "$pr"; then half=$((half + 1)); else pg_slow+=("${names[$i]} ($pr)"); fi
    at_most_2 "$(ratio "$now_us" "$base_us")" && cpu2=$((cpu2 + 1))
    pr=$(ratio "$all_us" "$base_us")
    if at_most_2 "$pr"; then all2=$((all2 + 1)); else pg_cpu+=("${names[$i]} ($pr)"); fi
    if [[ $rt =~ ^[0-9]+$ ]] && [[ $sql =~ ^[0-9]+$ ]]; then
      all_rt=$((all_rt + rt)) all_sql=$((all_sql + sql))
    fi
    if [ -n "$clicks_before" ]; then
      # wrk counts only the answers it read: a click under way when it stops is counted by the
      # server, not by wrk, so a database may count up to 16 clicks a wrk run more, never fewer.
      # The byte comparison above clicked once on each.
      read -r pg0 lite0 <<<"$clicks_before"
      pg1="$(pq bench "select d_clicktimes from vantrel_article where d_id = $article")"
      lite1="$(q "select d_clicktimes from Vantrel_Article where d_id = $article")"
      click_note="clicks: PostgreSQL counted $((pg1 - pg0)) for $((now_warm + now_requests + 1)) answered"
      click_note+=" (p99 $p99); SQLite counted $((lite1 - lite0)) for"
      click_note+=" $((base_warm + base_requests + 1)) answered (p99 $b_p99)"
    fi
    [ "$status" = 200 ] || [ "$status" = 302 ] || notes+=("${names[$i]}: status $status")
  else
    now_us=- base_us=-
    if [ -n "$base_bin" ]; then  # the rounds of one server alone count no CPU
      now_us=$(per_request "$now_cpu" "$now_requests")
      base_us=$(per_request "$base_cpu" "$base_requests")
      cpu_now["${names[$i]}"]=$now_us cpu_base["${names[$i]}"]=$base_us
    fi
    row "${names[$i]}" "$rps" "$b_rps" "$(change "$rps" "$b_rps")" "$p50" "$p99" "$b_p50" \
      "$b_p99" "$status" "$sql" "$now_us" "$base_us"
  fi
  # Each page's figures of the median round, for the closing summaries below.
  rate_now["${names[$i]}"]=$rps rate_base["${names[$i]}"]=$b_rps p50_now["${names[$i]}"]=$p50
  p99_now["${names[$i]}"]=$p99 p50_base["${names[$i]}"]=$b_p50 p99_base["${names[$i]}"]=$b_p99
done
if [ -n "$cmp_db" ]; then
  echo "PostgreSQL at half or more of SQLite's req/s: $half of $pages pages;" \
    "server CPU per request within twice SQLite's: $cpu2 of $pages;" \
    "host and backends together within twice: $all2 of $pages"
  [ "${#pg_slow[@]}" = 0 ] || echo "  below half of SQLite's req/s (SQLite / PostgreSQL): $(join_comma "${pg_slow[@]}")"
  [ "${#pg_cpu[@]}" = 0 ] || echo "  host and backends over twice SQLite's CPU (all x): $(join_comma "${pg_cpu[@]}")"
  echo "round trips per statement over all pages: $all_rt for $all_sql statements" \
    "($(ratio "$all_rt" "$all_sql"))"
  [ -z "$click_note" ] || echo "$click_note"
fi
# Closing summaries of the page table, one line a target with the rows that miss it.
# Deep pages: each row "LIST pN" (N > 1) or "LIST pS/pL" (each site at its own page) against
# the first page of its list, "LIST p1" or "LIST", on each server of the run; the searches'
# deep rows are named shorter than their first pages.
deep_first() {  # NAME: the first page of the list whose deep page NAME is, or nothing
  local list first
  [[ $1 =~ ^(.*)\ p([0-9]+)(/p[0-9]+)?$ ]] || return 0
  [ "${BASH_REMATCH[2]}" -gt 1 ] || [ -n "${BASH_REMATCH[3]}" ] || return 0
  list="${BASH_REMATCH[1]}"
  case "$list" in
    "search, no kw") list="search, no keyword" ;;
    "search, kw") list="search, keyword" ;;
    "manager search") list="manager title search" ;;
  esac
  for first in "$list p1" "$list"; do
    [ -z "${rate_now[$first]+set}" ] || { echo "$first"; return 0; }
  done
}
deep_summary() {  # LABEL RATES (the name of an associative array: page name -> req/s)
  local -n rates="$2"
  local name first r met=0 all=0 pairs=() missed=()
  for name in "${names[@]}"; do
    first="$(deep_first "$name")"
    [ -n "$first" ] || continue
    r=$(ratio "${rates[$name]}" "${rates[$first]}")
    all=$((all + 1))
    if at_least "$r" 0.67; then met=$((met + 1)); else
      missed+=("$name"); fi
    pairs+=("$(printf '  %-24s %5s of %s' "$name" "$r" "$first")")
  done
  [ "$all" -gt 0 ] || return 0
  echo "deep pages at two thirds or more of their page 1 ($1): $met of $all${missed[*]:+; below: $(join_comma "${missed[@]}")}"
  printf '%s\n' "${pairs[@]}"
}
if [ -n "$against" ]; then
  deep_summary "$articles articles" rate_now
  deep_summary "$against articles" rate_base
else
  deep_summary "$now_label" rate_now
  [ -z "$base_bin" ] || deep_summary "$base_label" rate_base
fi
# No page slower than the baseline: the median round's req/s at 0.9 of the base's or more.
if [ -n "$baseline" ]; then
  met=0 all=0 slower=()
  for name in "${names[@]}"; do
    all=$((all + 1))
    r=$(ratio "${rate_now[$name]}" "${rate_base[$name]}")
    if at_least "$r" 0.9; then met=$((met + 1)); else
      slower+=("$name (${r}x)"); fi
  done
  echo "no page slower than the baseline (median round at 0.9x of its req/s or more): $met of $all${slower[*]:+; slower: $(join_comma "${slower[@]}")}"
  # The same by CPU per request, which other work on the machine moves far less than rates.
  met=0 all=0 dearer=()
  for name in "${names[@]}"; do
    r=$(ratio "${cpu_now[$name]:-}" "${cpu_base[$name]:-}")
    [ "$r" != - ] || continue
    all=$((all + 1))
    if awk -v r="$r" 'BEGIN { exit !(r <= 1.1) }'; then met=$((met + 1)); else
      dearer+=("$name (${r}x)"); fi
  done
  echo "no page dearer than the baseline (CPU per request at 1.1x of its or less): $met of $all${dearer[*]:+; dearer: $(join_comma "${dearer[@]}")}"
fi
# The new-keyword rows: how far each list reached, and their goal on each server of the run.
if [ "${#kw_slice[@]}" -gt 0 ]; then
  echo "new-keyword rows: keywords in the list (drawn from channel 1's texts by bench/keywords.cpp),"
  echo "the slice a round of one server takes (no keyword asked twice of a server), and on each"
  echo "server the answers in the median round and the rounds whose slice ran out before their time"
  echo "(\"out\"; such a round's figures rest on its slice alone)"
  kw_row() { printf '  %-24s %8s %8s %20s%s\n' "$1" "$2" "$3" "$4" "${5:+ $(printf '%20s' "$5")}"; }
  kw_row row keywords "a round" "$now_label: answered" "${base_bin:+$base_label: answered}"
  for name in "${names[@]}"; do
    [ -n "${kw_slice[$name]+set}" ] || continue
    read -r lines slice slices <<<"${kw_slice[$name]}"
    read -r a_ans a_out <<<"${kw_now[$name]}"
    b_col=""
    if [ -n "${kw_base[$name]+set}" ]; then
      read -r b_ans b_out <<<"${kw_base[$name]}"
      b_col="$b_ans, out $b_out of $slices"
    fi
    kw_row "$name" "$lines" "$slice" "$a_ans, out $a_out of $slices" "$b_col"
  done
  # Goal at 1,000,000 articles: a median under 20 ms and a 99th percentile under 100 ms.
  kw_goal() {  # WHERE P50S P99S (names of associative arrays: page name -> wrk's latency)
    local -n p50s="$2" p99s="$3"
    local name a b met=0 all=0 missed=()
    for name in "${names[@]}"; do
      [ -n "${kw_slice[$name]+set}" ] || continue
      all=$((all + 1))
      a=$(to_ms "${p50s[$name]}") b=$(to_ms "${p99s[$name]}")
      if awk -v a="$a" -v b="$b" 'BEGIN { exit !(a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && a < 20 && b < 100) }'
      then met=$((met + 1)); else missed+=("$name ($a / $b ms)"); fi
    done
    echo "new keywords: p50 under 20 ms and p99 under 100 ms at $1: $met of $all${missed[*]:+; over (p50 / p99): $(join_comma "${missed[@]}")}"
  }
  if [ -n "$against" ]; then
    kw_goal "$articles articles" p50_now p99_now
    kw_goal "$against articles" p50_base p99_base
  elif [ -n "$base_bin" ]; then
    kw_goal "$articles articles ($now_label)" p50_now p99_now
    kw_goal "$articles articles ($base_label)" p50_base p99_base
  else
    kw_goal "$articles articles" p50_now p99_now
  fi
fi
echo "load average at the end of the pages: $(cut -d' ' -f1-3 /proc/loadavg)"
# The first request after an article change: another writer (sqlite3 or psql, through the
# database's own triggers) turns an article's hot flag over, then one request of every page but
# the static file, the click script and the new-keyword searches is timed (curl's total); 9
# changes per page, the median and the worst in ms, on each server of the run (goal: within
# 20 ms at 1,000,000 articles).
change_article() {  # WHO: now or base
  local sql="update Vantrel_Article set d_hotflag = -1 - d_hotflag where d_id = $article"
  if [ "$1" = now ]; then
    if [ "$dbkind" = postgres ]; then pq bench "$sql" >/dev/null
    else sqlite3 -cmd ".timeout 5000" "$db" "$sql"; fi
  elif [ -n "$against" ]; then
    if [ "$dbkind" = postgres ]; then pq bench_small "$sql" >/dev/null
    else sqlite3 -cmd ".timeout 5000" "$small_db" "$sql"; fi
  else
    sqlite3 -cmd ".timeout 5000" "$base_site/data/site.db" "$sql"
  fi
}
after_change() {  # WHO URL COOKIE: "median worst" in ms
  local t times=()
  for _ in 1 2 3 4 5 6 7 8 9; do
    change_article "$1"
    t=$(curl -s -o /dev/null -w '%{time_total}' --max-time 900 ${3:+-b "$3"} "$2" || echo 900)
    times+=("$t")
  done
  printf '%s\n' "${times[@]}" | sort -g |
    awk '{ a[NR] = $1 } END { printf "%.1f %.1f", a[int((NR + 1) / 2)] * 1000, a[NR] * 1000 }'
}
echo "first request after an article change, ms (median and worst of 9 changes):"
after_worst=()
printf '  %-24s %8s %8s %8s %8s\n' page "$now_label" worst "${base_bin:+$base_label}" \
  "${base_bin:+worst}"
for i in "${!names[@]}"; do
  case "${names[$i]}" in
    "static file" | "click script") continue ;;
  esac
  # A new-keyword search keeps nothing that a change could find: each of its requests is a first.
  [ -z "${kwfiles[$i]}" ] || continue
  signed=""
  [ -z "${console[$i]}" ] || signed=1
  read -r a_med a_max <<<"$(after_change now "http://127.0.0.1:$port${paths[$i]}" \
    "${signed:+$cookie_now}")"
  b_med="" b_max=""
  if [ -n "$base_bin" ]; then
    read -r b_med b_max <<<"$(after_change base "http://127.0.0.1:$base_port${base_paths[$i]}" \
      "${signed:+$cookie_base}")"
  fi
  printf '  %-24s %8s %8s %8s %8s\n' "${names[$i]}" "$a_med" "$a_max" "$b_med" "$b_max"
  after_worst+=("$a_max|$now_label|${names[$i]}")
  [ -z "$b_max" ] || after_worst+=("$b_max|$base_label|${names[$i]}")
done
# A page meets the goal when the worst of its 9 first requests took 20 ms or less.
for who in "$now_label" ${base_bin:+"$base_label"}; do
  printf '%s\n' "${after_worst[@]}" | awk -F'|' -v who="$who" -v articles="$against" '
    $2 == who { all++; if ($1 <= 20) met++; if (all == 1 || $1 > worst) { worst = $1; page = $3 } }
    END { if (all) printf "within 20 ms%s: %d of %d (worst %s ms, %s)\n",
      (articles != "" ? " at " who " articles" : " (" who ")"), met, all, worst, page }'
done

# Static files from folirex and from nginx (serving the same site folder), alternating in rounds
# as --baseline does, with the same wrk settings: the small image of the page rows, a page of
# 10 KB (the article page saved as a file, as the publishing pages write one, repeated or cut to
# 10,240 bytes) and an image of 200 KB (204,800 random bytes, as a photograph does not compress).
# All are measured warm; CPU is the server's user + system time per request over every round
# (nginx: its master and workers).
if [ -n "$nginx" ] && [ "$dbkind" != postgres ] && [ -z "$against" ]; then
  ng="$work/nginx"
  mkdir -p "$ng"
  ng_port=$(free_port)
  {
    echo "worker_processes auto;"
    echo "daemon off;"
    echo "pid $ng/nginx.pid;"
    echo "error_log $ng/error.log warn;"
    # Workers read the site in the private temp folder, so they keep the caller's user.
    [ "$(id -u)" != 0 ] || echo "user root;"
    echo "events { worker_connections 4096; }"
    echo "http {"
    echo "  access_log off;"
    echo "  sendfile on;"
    echo "  types { image/gif gif; image/jpeg jpg; text/html html; }"
    for t in client_body proxy fastcgi uwsgi scgi; do echo "  ${t}_temp_path $ng/$t;"; done
    echo "  server { listen 127.0.0.1:$ng_port; root $work/site; }"
    echo "}"
  } > "$ng/nginx.conf"
  "$nginx" -p "$ng" -e "$ng/error.log" -c "$ng/nginx.conf" >/dev/null 2>>"$ng/stderr.log" &
  ng_pid=$!
  pids+=("$ng_pid")
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$ng_port$static_path" && break
    alive "$ng_pid" || break
    sleep 0.1
  done
  page_file="/static-10k.html" image_file="/images/static-200k.jpg"
  curl -s -o "$work/article.html" "http://127.0.0.1:$port$article_path" || true
  if [ -s "$work/article.html" ]; then
    for _ in $(seq $((10240 / $(stat -c %s "$work/article.html") + 1))); do cat "$work/article.html"
    done | head -c 10240 >"$work/site$page_file"
  fi
  head -c 204800 /dev/urandom >"$work/site$image_file"
  echo
  printf 'static files, folirex and nginx alternating (%s rounds of %s s each, ABBA...); req/s and\n' \
    "$rounds" "$round_secs"
  printf 'p99 of the round with the median req/s; ratio = folirex / nginx (goal: >= 1.00); us = CPU\n'
  printf 'per request over all rounds\n'
  printf '%-36s %10s %10s %6s %10s %10s %6s %6s\n' file "folirex/s" "nginx/s" ratio \
    "folirex p99" "nginx p99" "fx us" "ng us"
  static_met=0 static_all=0
  for file in "$static_path" "$page_file" "$image_file"; do
    label="$file ($(stat -c %s "$work/site$file" 2>/dev/null || echo 0) B)"
    fx_url="http://127.0.0.1:$port$file" ng_url="http://127.0.0.1:$ng_port$file"
    fx_status=$(curl -s -o "$work/static-fx" -w "%{http_code}" "$fx_url" || true)
    ng_status=$(curl -s -o "$work/static-ng" -w "%{http_code}" "$ng_url" || true)
    if [ "$fx_status" != 200 ] || [ "$ng_status" != 200 ] ||
      ! cmp -s "$work/static-fx" "$work/static-ng"; then
      echo "$label: folirex answered $fx_status, nginx $ng_status, or their bytes differ:" >&2
      cat "$ng/stderr.log" "$ng/error.log" >&2
      continue
    fi
    warm_up "$fx_url"
    warm_up "$ng_url"
    fx_runs=() ng_runs=() fx_cpu=0 ng_cpu=0 fx_requests=0 ng_requests=0
    for r in $(seq "$rounds"); do
      if (( r % 2 )); then order=(fx ng); else order=(ng fx); fi
      for who in "${order[@]}"; do
        if [ "$who" = fx ]; then url=$fx_url pid=$now_pid; else url=$ng_url pid=$ng_pid; fi
        t0=$(cpu_us "$pid")
        measure "$url" "$round_secs" $((round_secs + 30))
        t1=$(cpu_us "$pid")
        [ "$m_err" = none ] || notes+=("static $file ($who, round $r): $m_err")
        if [ "$who" = fx ]; then
          fx_runs+=("$m_rps $m_p50 $m_p99")
          fx_cpu=$((fx_cpu + t1 - t0)) fx_requests=$((fx_requests + m_requests))
        else
          ng_runs+=("$m_rps $m_p50 $m_p99")
          ng_cpu=$((ng_cpu + t1 - t0)) ng_requests=$((ng_requests + m_requests))
        fi
      done
    done
    read -r rps p50 p99 <<<"$(median "${fx_runs[@]}")"
    read -r n_rps n_p50 n_p99 <<<"$(median "${ng_runs[@]}")"
    printf '%-36s %10s %10s %6s %10s %10s %6s %6s\n' "$label" "$rps" "$n_rps" \
      "$(ratio "$rps" "$n_rps")" "$p99" "$n_p99" "$(per_request "$fx_cpu" "$fx_requests")" \
      "$(per_request "$ng_cpu" "$ng_requests")"
    static_all=$((static_all + 1))
    if at_least "$(ratio "$rps" "$n_rps")" 1; then static_met=$((static_met + 1)); fi
  done
  echo "static files at nginx's rate or better: $static_met of $static_all"
  stop "$ng_pid" || true
fi
if [ -n "$against" ]; then
  # Every page at the larger size at two thirds or more of its req/s at the smaller (the public
  # pages and the console's apart; the static file reads no data), and every search (body and
  # console searches included) with a median latency under 10 ms at the larger size. A page
  # that wrk could not measure meets neither.
  for kind in public console; do
    met=0 all=0 missed=()
    for i in "${!names[@]}"; do
      [ "${paths[$i]}" != "$static_path" ] || continue
      if [ "$kind" = public ]; then [ -z "${console[$i]}" ] || continue
      else [ -n "${console[$i]}" ] || continue; fi
      all=$((all + 1))
      r=$(ratio "${rate_now[${names[$i]}]}" "${rate_base[${names[$i]}]}")
      if at_least "$r" 0.67; then met=$((met + 1))
      else missed+=("${names[$i]} ($r)"); fi
    done
    echo "$kind pages at two thirds or more of their req/s at $against articles: $met of $all${missed[*]:+; below: $(join_comma "${missed[@]}")}"
  done
  met=0 all=0 missed=()
  for name in "${names[@]}"; do
    [[ $name == *search* ]] || continue
    all=$((all + 1))
    ms=$(to_ms "${p50_now[$name]}")
    if awk -v m="$ms" 'BEGIN { exit !(m ~ /^[0-9.]+$/ && m < 10) }'; then met=$((met + 1))
    else missed+=("$name (${ms} ms)"); fi
  done
  echo "search p50 under 10 ms at $articles articles: $met of $all${missed[*]:+; over: $(join_comma "${missed[@]}")}"
fi
for note in "${notes[@]}"; do echo "wrk errors, $note"; done
if [ -n "$against" ]; then
  echo "server peak memory (VmHWM): $articles articles $(peak_memory "$now_pid"), $against articles $(peak_memory "$base_pid")"
  awk -v n="$articles" '/VmHWM/ { mb = $2 / 1024; printf "server peak memory under 150 MB at %s articles: %s (%.1f MB)\n", n, (mb < 150 ? "met" : "not met"), mb }' \
    "/proc/$now_pid/status"
else
  echo "server peak memory (VmHWM): $(peak_memory "$now_pid")"
  [ -z "$base_bin" ] || echo "base server peak memory (VmHWM): $(peak_memory "$base_pid")"
fi
stop "$count_pid" || true
stop "$now_pid" || true
[ -z "$base_bin" ] || stop "$base_pid" || true
# The sizes are compared on the pages alone.
[ -z "$against" ] || exit 0

# The article page measured alone and then while folirex-hold keeps idle keep-alive and
# slow-header connections open, on a fresh server process of each binary so that its peak
# memory belongs to this run. A host that gives each connection a worker stalls here, so every
# wrk has a time limit.
hostile() {  # LABEL BIN SITE
  local label="$1" bin="$2" site="$3" hport url alone_rps alone_p99 hold_pid held stopped
  hport=$(free_port)
  start_server "$bin" "$site" "$hport" "$threads" "$work/hostile-$label.err"
  local pid=$server_pid
  url="http://127.0.0.1:$hport$article_path"
  warm_up "$url" 20
  measure "$url" "$duration" $((duration + 30))
  alone_rps=$m_rps alone_p99=$m_p99
  [ "$m_err" = none ] || notes+=("$label, wrk alone: $m_err")
  "$hold_bin" 127.0.0.1 "$hport" --idle "$idle" --slow "$slow" --interval "$slow_interval" \
    --seconds $((ramp + duration + 60)) --path "$static_path" >"$work/hold-$label.out" 2>&1 &
  hold_pid=$!
  pids+=("$hold_pid")
  sleep "$ramp"
  measure "$url" "$duration" $((duration + 15))
  stop "$hold_pid" 5 || true
  held="$(cat "$work/hold-$label.out")"
  local state="running"
  alive "$pid" || state="exited ($(tail -n 1 "$work/hostile-$label.err"))"
  local peak="-"
  [ "$state" != running ] || peak="$(peak_memory "$pid")"
  stopped="stopped on SIGTERM"
  [ "$state" != running ] || stop "$pid" 10 || stopped="did not stop within 10 s of SIGTERM, killed"
  [ "$state" = running ] || stopped="$state"
  printf '%-8s %12s %10s %12s %10s %8s %14s\n' "$label" "$alone_rps" "$alone_p99" "$m_rps" \
    "$m_p99" "$(change "$m_rps" "$alone_rps")" "$peak"
  hostile_notes+=("$label, wrk while held: errors $m_err"
    "$label, held connections: $held"
    "$label, server afterwards: $stopped")
}
notes=()
hostile_notes=()
echo
printf 'article page, wrk -t2 -c16 %s s alone, then %s s while folirex-hold keeps %s idle\n' \
  "$duration" "$duration" "$idle"
printf 'keep-alive and %s slow-header connections (a line every %s s) open; fresh server each\n' \
  "$slow" "$slow_interval"
printf '%-8s %12s %10s %12s %10s %8s %14s\n' server "alone req/s" "alone p99" "held req/s" \
  "held p99" change "peak (VmHWM)"
hostile "$now_label" "$now_bin" "$now_site"
[ -z "$base_bin" ] || hostile "$base_label" "$base_bin" "$base_site"
for note in "${notes[@]}" "${hostile_notes[@]}"; do echo "$note"; done
