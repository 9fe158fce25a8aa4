#!/usr/bin/env bash
# Measures the server on a seeded site with wrk: requests per second, median and 99th
# percentile latency of each page kind, SQL statements per page, and the server's peak memory.
#   bench/run.sh [--articles N] [--duration SECONDS] [--threads N]
# Needs wrk (Debian package "wrk"). Everything runs on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
articles=10000
duration=15
threads=32
while [ $# -gt 0 ]; do
  case "$1" in
    --articles) articles="$2"; shift 2 ;;
    --duration) duration="$2"; shift 2 ;;
    --threads) threads="$2"; shift 2 ;;
    *) echo "usage: bench/run.sh [--articles N] [--duration SECONDS] [--threads N]" >&2; exit 2 ;;
  esac
done
command -v wrk >/dev/null || { echo "bench/run.sh needs wrk (apt-get install wrk)" >&2; exit 1; }

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DFOLIREX_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target folirex folirex-seed >/dev/null

work="$(mktemp -d)"
server_pid=""
cleanup() {
  for pid in $server_pid ${count_pid:-}; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

build-bench/folirex init "$work/site" >/dev/null
build-bench/bench/folirex-seed "$work/site" --articles "$articles"
db="$work/site/data/site.db"
q() { sqlite3 "$db" "$1"; }

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
port=$(free_port)
build-bench/folirex serve "$work/site" --listen "127.0.0.1:$port" --threads "$threads" \
  >/dev/null 2>"$work/server.err" &
server_pid=$!
# A second server on the same site counts each page's SQL statements, outside the measurements.
count_port=$(free_port)
FOLIREX_SQL_COUNT=1 build-bench/folirex serve "$work/site" --listen "127.0.0.1:$count_port" \
  --threads 2 >/dev/null 2>>"$work/server.log" &
count_pid=$!
for p in "$port" "$count_port"; do
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$p/images/hot.gif" && break; sleep 0.1; done
done

article=$(q "select min(d_id) from Vantrel_Article where d_channelid=1 and d_paginationtype=0 and d_checked=-1 and d_deleted=0")
paged=$(q "select min(d_id) from Vantrel_Article where d_channelid=1 and d_paginationtype=2 and d_checked=-1 and d_deleted=0")
class=$(q "select d_classid from Vantrel_Article where d_channelid=1 group by d_classid order by count(*) desc limit 1")
count=$(q "select count(*) from Vantrel_Article where d_classid=$class and d_checked=-1 and d_deleted=0")
deep=$(( (count + 19) / 20 )); [ "$deep" -gt 500 ] && deep=500

declare -a names urls
add() { names+=("$1"); urls+=("$2"); }
base="http://127.0.0.1:$port"
add "home"                 "$base/asp.asp"
add "channel first page"   "$base/asp.asp?channelid=1"
add "article"              "$base/asp.asp?m=content&articleid=$article&channelid=1"
add "paged article p2"     "$base/asp.asp?m=content&articleid=$paged&channelid=1&page=2"
add "class list p1"        "$base/asp.asp?m=classlist&classid=$class&channelid=1"
add "class list p$deep"    "$base/asp.asp?m=classlist&classid=$class&channelid=1&page=$deep"
add "newest list"          "$base/asp.asp?m=newlist&channelid=1"
add "search, no keyword"   "$base/asp.asp?m=search&channelid=1"
add "search, keyword"      "$base/asp.asp?m=search&channelid=1&searchtype=d_title&searchkeyword=%BE%AD%BC%C3"
add "comment list script"  "$base/asp.asp?m=commentlist&articleid=$article&channelid=1"
add "click script"         "$base/asp.asp?m=click&articleid=$article&channelid=1"
add "static file"          "$base/images/hot.gif"

printf '%s articles; wrk -t2 -c16, 5 s warm-up, %s s measured; server --threads %s\n' \
  "$articles" "$duration" "$threads"
printf '%-22s %10s %10s %10s %6s %8s\n' page "req/s" "p50" "p99" status sql
for i in "${!names[@]}"; do
  url="${urls[$i]}"
  : > "$work/server.log"  # the counting server appends one line per page
  status=$(curl -s -o /dev/null -w '%{http_code}' "${url/:$port\//:$count_port/}")
  sleep 0.05
  sql=$(awk '/^sql /{print $2; exit}' "$work/server.log"); sql=${sql:--}
  wrk -t2 -c16 -d5s "$url" >/dev/null 2>&1
  out=$(wrk -t2 -c16 -d"${duration}s" --latency "$url" 2>&1)
  rps=$(awk '/Requests\/sec/{print $2}' <<<"$out")
  p50=$(awk '$1=="50%"{print $2}' <<<"$out")
  p99=$(awk '$1=="99%"{print $2}' <<<"$out")
  printf '%-22s %10s %10s %10s %6s %8s\n' "${names[$i]}" "$rps" "$p50" "$p99" "$status" "$sql"
done
peak=$(awk '/VmHWM/{print $2, $3}' "/proc/$server_pid/status")
echo "server peak memory (VmHWM): $peak"
