#!/usr/bin/env bash
# Publishes a channel of N seeded articles with all its list pages by driving the generation
# step requests of the console directly (a large batch size, the independent steps 8 at a time),
# and prints pages per second and the server's peak memory. Then it serves one generated article
# page with folirex and, when installed, with nginx, and prints both rates.
#   bench/publish.sh [--articles N] [--batch N] [--parallel N] [--duration SECONDS] [--tmp DIR]
#                    [--bin DIR]
# --tmp DIR puts the site in DIR (default /tmp), e.g. /dev/shm to leave the disk's file system out.
# --bin DIR runs the folirex and folirex-seed found in DIR (e.g. copies of an earlier build, to
# measure two versions in alternating rounds) instead of building build-bench.
# Needs curl and sqlite3; wrk (Debian package "wrk") and nginx for the serving rows. Everything
# runs on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
articles=10000
batch=1250
parallel=8
duration=10
tmp=/tmp
bin_dir=""
usage="usage: bench/publish.sh [--articles N] [--batch N] [--parallel N] [--duration SECONDS]
                        [--tmp DIR] [--bin DIR]"
while [ $# -gt 0 ]; do
  case "$1" in
    --articles) articles="$2"; shift 2 ;;
    --batch) batch="$2"; shift 2 ;;
    --parallel) parallel="$2"; shift 2 ;;
    --duration) duration="$2"; shift 2 ;;
    --tmp) tmp="$2"; shift 2 ;;
    --bin) bin_dir="$2"; shift 2 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
for n in "$articles" "$batch" "$parallel" "$duration"; do
  [[ $n =~ ^[0-9]+$ ]] && [ "$n" -ge 1 ] || { echo "$usage" >&2; exit 2; }
done

if [ -n "$bin_dir" ]; then
  bin="$(cd "$bin_dir" && pwd)/folirex"
  seed="$(cd "$bin_dir" && pwd)/folirex-seed"
else
  cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DFOLIREX_TESTS=OFF >/dev/null
  cmake --build build-bench -j"$(nproc)" --target folirex folirex-seed >/dev/null
  bin="$repo/build-bench/folirex"
  seed="$repo/build-bench/bench/folirex-seed"
fi
[ -x "$bin" ] && [ -x "$seed" ] || { echo "no folirex or folirex-seed to run" >&2; exit 2; }

work="$(mktemp -d "$tmp/folirex-publish.XXXXXX")"
server_pid=""
nginx_pid=""
cleanup() {
  set +e
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

printed="$("$bin" init "$work/site")"
admin="$(sed -n 's/^Administrator:[[:space:]]*//p' <<<"$printed")"
password="$(sed -n 's/^Password:[[:space:]]*//p' <<<"$printed")"
"$seed" "$work/site" --articles "$articles" --channels 1 >/dev/null
db="$work/site/data/site.db"
sqlite3 "$db" "update Vantrel_Channel set d_generatehtml = 1, d_groupnum = $batch where d_id = 1"

port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
base="http://127.0.0.1:$port"
"$bin" serve "$work/site" --listen "127.0.0.1:$port" >/dev/null 2>"$work/serve.log" &
server_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "$base/images/hot.gif" && break
  sleep 0.1
done

jar="$work/cookies"
curl -s -o /dev/null -c "$jar" -b "$jar" --data-urlencode "usercode=$admin" \
  --data-urlencode "password=$password" "$base/admin.asp?m=admin_login&action=check"
console="$base/admin.asp?m=admin_articlehtml&channelid=1"
plan() {  # OPTION... : the step address tails of the planner's queue
  local args=() o
  for o in "$@"; do args+=(--data-urlencode "d_option=$o"); done
  curl -s -b "$jar" "${args[@]}" "$console&action=htmlupdate&flag=1" |
    sed -n "s/^a_Url\[a_Url.length\] = '\(.*\)';\r\?$/\1/p"
}
step() {  # TAIL: one step; its answer must be the done script
  local answer
  answer="$(curl -s -b "$jar" --max-time 3600 \
    "$base/admin.asp?m=admin_articlehtml&action=doingupdatehtml&$1" | iconv -f gb2312 -t utf-8)"
  [[ $answer == *"doReturn('完成')"* ]] || { echo "step failed: $1: $answer" >&2; return 1; }
}
export -f step
export jar base

# The old output is cleared first (one step); then the first page, the scripts, every article
# and every list page, the independent steps run side by side.
plan delete | while read -r tail; do step "$tail"; done
plan first js_all content_all classlist_all subjectlist_all hotlist recommendlist newlist \
  >"$work/steps"
echo "steps: $(wc -l <"$work/steps"), batch size $batch, $parallel at a time"
ticks="$(getconf CLK_TCK)"
cpu_ticks() { awk '{print $14 + $15}' "/proc/$server_pid/stat"; }
cpu_before="$(cpu_ticks)"
start="$(date +%s.%N)"
xargs -P "$parallel" -I{} bash -c 'step "$@"' _ {} <"$work/steps"
end="$(date +%s.%N)"
cpu_after="$(cpu_ticks)"

pages="$(find "$work/site/Article" -name '*.html' | wc -l)"
pending="$(sqlite3 "$db" "select count(*) from Vantrel_Article where d_generatedflag = 0 and d_checked = -1 and d_deleted = 0 and d_channelid = 1 and (d_linkurl is null or d_linkurl = '')")"
secs="$(awk -v s="$start" -v e="$end" 'BEGIN{printf "%.2f", e - s}')"
rate="$(awk -v p="$pages" -v s="$secs" 'BEGIN{printf "%.0f", p / s}')"
memory="$(awk '/VmHWM/{print $2, $3}' "/proc/$server_pid/status")"
echo "published: $pages pages in $secs s = $rate pages/s; articles left ungenerated: $pending"
cpu="$(awk -v a="$cpu_before" -v b="$cpu_after" -v t="$ticks" 'BEGIN{printf "%.2f", (b - a) / t}')"
echo "server peak memory: $memory"
# On a machine shared with other work the wall-clock rate understates the server; its own CPU
# time gives the rate it would reach on otherwise idle cores.
echo "server CPU: $cpu s = $(awk -v p="$pages" -v c="$cpu" 'BEGIN{printf "%.0f", p / c}') pages per CPU second; load average now: $(cut -d' ' -f1 /proc/loadavg)"

# Serving a generated article page (its name is the article's id; the class folders also hold
# the list pages): folirex, then nginx on the same files.
page="$(find "$work/site/Article" -path '*c1_*' -regex '.*/[0-9]+\.html' -print -quit)"
path="${page#"$work/site"}"
if command -v wrk >/dev/null; then
  rps() { wrk -t2 -c16 -d"${duration}s" "$1" 2>/dev/null | awk '/Requests\/sec/{print $2}'; }
  echo "folirex serve $path: $(rps "$base$path") req/s"
  nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"
  if [ -x "$nginx_bin" ]; then
    nport="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
    mkdir -p "$work/nginx"
    cat >"$work/nginx/nginx.conf" <<EOF
worker_processes auto;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nodelay on;
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  server { listen 127.0.0.1:$nport; root $work/site; }
}
EOF
    "$nginx_bin" -c "$work/nginx/nginx.conf" -p "$work/nginx" &
    nginx_pid=$!
    for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$nport$path" && break; sleep 0.1; done
    echo "nginx $path: $(rps "http://127.0.0.1:$nport$path") req/s"
  fi
fi
