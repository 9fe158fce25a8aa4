#!/usr/bin/env bash
# The new-keyword rows of bench/run.sh against a server already running, without seeding,
# copying or building anything: for a site whose search structures took long to build (a
# PostgreSQL copy of 1,000,000 articles), measured again after a change of the program alone.
# Each kind of keyword of KW_DIR (bench/keywords.cpp's lists, for the titles and the bodies) is
# sent through wrk and bench/keywords.lua as the rows send it, COUNT keywords from line FIRST,
# for up to SECONDS, with CONNECTIONS at once; one line a kind: the keywords answered, answers
# other than 200, p50 and p99, and the CPU per request of the processes whose command line holds
# one of the PATTERNs (the server, and a database server's backends: "postgres"). Last, the
# server's peak memory (VmHWM) and its own (RssAnon) when SERVER_PID is given.
#   bench/keyword_kinds.sh PORT KW_DIR [--first N] [--count N] [--seconds N] [--connections N]
#                          [--pid SERVER_PID] [PATTERN...]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
usage="usage: bench/keyword_kinds.sh PORT KW_DIR [--first N] [--count N] [--seconds N] [--connections N] [--pid SERVER_PID] [PATTERN...]"
[ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
port="$1" kw_dir="$2"
shift 2
first=1 count=2000 seconds=10 connections=16 pid="" patterns=()
while [ $# -gt 0 ]; do
  case "$1" in
    --first) first="$2"; shift 2 ;;
    --count) count="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --connections) connections="$2"; shift 2 ;;
    --pid) pid="$2"; shift 2 ;;
    *) patterns+=("$1"); shift ;;
  esac
done
threads=2
[ "$connections" -ge 2 ] || threads=1
done_file="$(mktemp)"
trap 'rm -f "$done_file"' EXIT
# CPU time (user and system) in clock ticks of the processes whose command line holds a pattern,
# read as bench/run.sh's cpu_ticks reads one process.
cpu_ticks() {
  local pattern p t total=0
  for pattern in "${patterns[@]}"; do
    for p in $(pgrep -f -- "$pattern"); do
      # Not this script, whose own command line holds the patterns.
      if [ "$p" = "$$" ] || [ "$p" = "$BASHPID" ]; then continue; fi
      t="$(awk '{print $14 + $15}' "/proc/$p/stat" 2>/dev/null || echo 0)"
      total=$((total + ${t:-0}))
    done
  done
  echo "$total"
}
tick_ms="$(awk -v hz="$(getconf CLK_TCK)" 'BEGIN { print 1000 / hz }')"
for column in title body; do
  searchtype=d_title
  [ "$column" = title ] || searchtype=d_content
  for kind in common middling rare cut12 cut36 pair none; do
    list="$kw_dir/$column-$kind.txt"
    [ -f "$list" ] || continue
    : >"$done_file"
    before="$(cpu_ticks)"
    out="$(wrk -t"$threads" -c"$connections" -d"$((seconds + 60))s" --timeout "$((seconds + 60))s" \
      --latency -s "$repo/bench/keywords.lua" \
      "http://127.0.0.1:$port/asp.asp?m=search&channelid=1&searchtype=$searchtype&searchkeyword=" \
      -- "$list" "$first" "$count" "$threads" "$done_file" "$seconds" 2>&1)"
    after="$(cpu_ticks)"
    answered="$(awk '/^keywords:/{print $5}' <<<"$out")"
    printf '%-16s answered %5s  not200 %s  p50 %9s  p99 %9s  cpu/req %s ms\n' "$column-$kind" \
      "$answered" "$(awk '/^keywords:/{print $7}' <<<"$out")" \
      "$(awk '$1=="50%"{print $2}' <<<"$out")" "$(awk '$1=="99%"{print $2}' <<<"$out")" \
      "$(awk -v t="$((after - before))" -v n="${answered:-0}" -v ms="$tick_ms" \
        'BEGIN { printf "%.2f", (n > 0 ? t * ms / n : 0) }')"
  done
done
[ -z "$pid" ] || grep -E '^(VmHWM|RssAnon|RssFile):' "/proc/$pid/status"
