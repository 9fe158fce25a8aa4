#!/usr/bin/env bash
# Publishes a channel of N seeded articles with all its list pages by driving the generation
# step requests of the console directly (a large batch size, the independent steps 8 at a time),
# and prints pages per second and the server's peak memory. Then it serves one generated article
# page with folirex and, when installed, with nginx, and prints both rates.
#   bench/publish.sh [--articles N] [--batch N] [--parallel N] [--duration SECONDS] [--tmp DIR]
#                    [--bin DIR] [--against-hugo] [--rounds N]
# --tmp DIR puts the site in DIR (default /tmp), e.g. /dev/shm to leave the disk's file system out.
# --bin DIR runs the folirex and folirex-seed found in DIR (e.g. copies of an earlier build, to
# measure two versions in alternating rounds) instead of building build-bench.
# --against-hugo also writes a Hugo site of the same published articles (titles, dates, classes
# and bodies from the seeded database, the classes as sections paged 20 to a page) and
# alternates rounds: folirex clears and publishes the channel, then `hugo --quiet` builds its
# site cold (fresh output folder and cache); it prints each one's pages/s, their medians, the
# ratio and each one's peak memory. Hugo (Debian package "hugo") is installed when run as root.
# --rounds N sets the number of rounds (default 1, or 3 with --against-hugo).
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
against_hugo=0
rounds=""
usage="usage: bench/publish.sh [--articles N] [--batch N] [--parallel N] [--duration SECONDS]
                        [--tmp DIR] [--bin DIR] [--against-hugo] [--rounds N]"
while [ $# -gt 0 ]; do
  case "$1" in
    --articles) articles="$2"; shift 2 ;;
    --batch) batch="$2"; shift 2 ;;
    --parallel) parallel="$2"; shift 2 ;;
    --duration) duration="$2"; shift 2 ;;
    --tmp) tmp="$2"; shift 2 ;;
    --bin) bin_dir="$2"; shift 2 ;;
    --against-hugo) against_hugo=1; shift ;;
    --rounds) rounds="$2"; shift 2 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
[ -n "$rounds" ] || rounds=$((against_hugo ? 3 : 1))
for n in "$articles" "$batch" "$parallel" "$duration" "$rounds"; do
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
if [ "$against_hugo" = 1 ] && ! command -v hugo >/dev/null; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "installing hugo (apt-get install hugo)" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends hugo </dev/null >/dev/null 2>&1 ||
      { apt-get update -qq </dev/null >/dev/null 2>&1 &&
        apt-get install -y -qq --no-install-recommends hugo </dev/null >/dev/null 2>&1; } || true
  fi
  command -v hugo >/dev/null || { echo "--against-hugo needs hugo (apt-get install hugo)" >&2; exit 1; }
fi

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

ticks="$(getconf CLK_TCK)"
cpu_ticks() { awk '{print $14 + $15}' "/proc/$server_pid/stat"; }
# One round of folirex: the old output is cleared first (one step, not timed); then the first
# page, the scripts, every article and every list page, the independent steps run side by side.
# Sets pages, secs, rate and cpu.
publish_round() {
  plan delete | while read -r tail; do step "$tail"; done
  plan first js_all content_all classlist_all subjectlist_all hotlist recommendlist newlist \
    >"$work/steps"
  local cpu_before cpu_after start end
  cpu_before="$(cpu_ticks)"
  start="$(date +%s.%N)"
  xargs -P "$parallel" -I{} bash -c 'step "$@"' _ {} <"$work/steps"
  end="$(date +%s.%N)"
  cpu_after="$(cpu_ticks)"
  pages="$(find "$work/site/Article" -name '*.html' | wc -l)"
  secs="$(awk -v s="$start" -v e="$end" 'BEGIN{printf "%.2f", e - s}')"
  rate="$(awk -v p="$pages" -v s="$secs" 'BEGIN{printf "%.0f", p / s}')"
  cpu="$(awk -v a="$cpu_before" -v b="$cpu_after" -v t="$ticks" 'BEGIN{printf "%.2f", (b - a) / t}')"
}

# The Hugo site of the same articles: the published ones (checked, not deleted, no link), each
# class a section whose list Hugo pages 20 to a page, the bodies as stored (raw HTML kept) with
# the page-break mark taken out. Only page and list kinds are built, as folirex writes them.
write_hugo_site() {
  local site="$work/hugo"
  mkdir -p "$site/layouts/_default"
  cat >"$site/config.toml" <<'TOML'
baseURL = "http://127.0.0.1/"
title = "Hugo"
paginate = 20
disableKinds = ["taxonomy", "term", "RSS", "sitemap", "robotsTXT", "404"]
[markup.goldmark.renderer]
unsafe = true
TOML
  cat >"$site/layouts/_default/baseof.html" <<'HTML'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{{ .Title }} - {{ .Site.Title }}</title></head>
<body><div id="nav">{{ range .Site.Sections }}<a href="{{ .RelPermalink }}">{{ .Title }}</a> {{ end }}</div>
{{ block "main" . }}{{ end }}
</body></html>
HTML
  cat >"$site/layouts/_default/single.html" <<'HTML'
{{ define "main" }}<h1>{{ .Title }}</h1>
<div class="info">{{ .Date.Format "2006-01-02 15:04:05" }} {{ .Params.author }}</div>
<div class="content">{{ .Content }}</div>
<div>{{ with .PrevInSection }}<a href="{{ .RelPermalink }}">{{ .Title }}</a>{{ end }}
{{ with .NextInSection }}<a href="{{ .RelPermalink }}">{{ .Title }}</a>{{ end }}</div>{{ end }}
HTML
  cat >"$site/layouts/_default/list.html" <<'HTML'
{{ define "main" }}<h1>{{ .Title }}</h1><ul>
{{ range .Paginator.Pages }}<li><a href="{{ .RelPermalink }}">{{ .Title }}</a> {{ .Date.Format "2006-01-02" }}</li>
{{ end }}</ul>
<div>{{ range .Paginator.Pagers }}<a href="{{ .URL }}">{{ .PageNumber }}</a> {{ end }}</div>{{ end }}
HTML
  python3 - "$db" "$site/content" <<'PYTHON'
import json, os, sqlite3, sys
db, out = sys.argv[1], sys.argv[2]
con = sqlite3.connect(db)
rows = con.execute(
    "select a.d_id, a.d_title, a.d_author, a.d_addtime, a.d_content, b.d_dir, b.d_name "
    "from Vantrel_Article a join Vantrel_ArticleClass b on a.d_classid = b.d_id "
    "where a.d_channelid = 1 and a.d_checked = -1 and a.d_deleted = 0 "
    "and (a.d_linkurl is null or a.d_linkurl = '')")
sections = set()
for id_, title, author, added, body, folder, name in rows:
    folder = folder.replace("/", "_")
    path = os.path.join(out, folder)
    if folder not in sections:
        os.makedirs(path, exist_ok=True)
        with open(os.path.join(path, "_index.md"), "w") as f:
            f.write(json.dumps({"title": name}, ensure_ascii=False) + "\n")
        sections.add(folder)
    front = {"title": title, "author": author, "date": added.replace(" ", "T") + "+08:00"}
    with open(os.path.join(path, "%d.md" % id_), "w") as f:
        f.write(json.dumps(front, ensure_ascii=False) + "\n\n")
        f.write(body.replace("[Vantrel_NextPage]", "") + "\n")
PYTHON
}

# One cold Hugo build into a fresh output folder and cache. Sets hugo_pages, hugo_secs,
# hugo_rate and hugo_memory (peak resident kB).
hugo_round() {
  rm -rf "$work/hugo/public" "$work/hugo-cache"
  local start end
  start="$(date +%s.%N)"
  hugo_memory="$(python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' \
    hugo --quiet -s "$work/hugo" -d "$work/hugo/public" --cacheDir "$work/hugo-cache")"
  end="$(date +%s.%N)"
  # A list's first page is also written as page/1/, a redirect to the list: not a page.
  hugo_pages="$(find "$work/hugo/public" -name '*.html' -not -path '*/page/1/*' | wc -l)"
  hugo_secs="$(awk -v s="$start" -v e="$end" 'BEGIN{printf "%.2f", e - s}')"
  hugo_rate="$(awk -v p="$hugo_pages" -v s="$hugo_secs" 'BEGIN{printf "%.0f", p / s}')"
}

median() {
  sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

[ "$against_hugo" = 1 ] && write_hugo_site
rates=()
hugo_rates=()
hugo_peak=0
for round in $(seq "$rounds"); do
  publish_round
  rates+=("$rate")
  echo "round $round: folirex published $pages pages in $secs s = $rate pages/s (server CPU $cpu s)"
  if [ "$against_hugo" = 1 ]; then
    hugo_round
    hugo_rates+=("$hugo_rate")
    [ "$hugo_memory" -gt "$hugo_peak" ] && hugo_peak="$hugo_memory"
    echo "round $round: hugo built $hugo_pages pages in $hugo_secs s = $hugo_rate pages/s"
  fi
done

pending="$(sqlite3 "$db" "select count(*) from Vantrel_Article where d_generatedflag = 0 and d_checked = -1 and d_deleted = 0 and d_channelid = 1 and (d_linkurl is null or d_linkurl = '')")"
rate="$(printf '%s\n' "${rates[@]}" | median)"
memory="$(awk '/VmHWM/{print $2, $3}' "/proc/$server_pid/status")"
echo "steps: $(wc -l <"$work/steps"), batch size $batch, $parallel at a time"
echo "published: $pages pages, median $rate pages/s over $rounds rounds; articles left ungenerated: $pending"
echo "server peak memory: $memory"
# On a machine shared with other work the wall-clock rate understates the server; its own CPU
# time gives the rate it would reach on otherwise idle cores.
echo "server CPU (last round): $cpu s = $(awk -v p="$pages" -v c="$cpu" 'BEGIN{printf "%.0f", p / c}') pages per CPU second; load average now: $(cut -d' ' -f1 /proc/loadavg)"
if [ "$against_hugo" = 1 ]; then
  hugo_median="$(printf '%s\n' "${hugo_rates[@]}" | median)"
  echo "hugo: $hugo_pages pages, median $hugo_median pages/s; peak memory: $hugo_peak kB"
  echo "folirex / hugo pages/s: $(awk -v a="$rate" -v b="$hugo_median" 'BEGIN{printf "%.2f", a / b}')"
  awk -v a="$rate" -v b="$hugo_median" \
    'BEGIN { printf "publishing at twice Hugo'"'"'s pages/s or more: %s\n", (a >= 2 * b ? "met" : "not met") }'
fi

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
