#!/usr/bin/env bash
# Publishes a channel of N seeded articles with all its list pages by driving the generation
# step requests of the console directly (a large batch size, the independent steps 8 at a time),
# and prints pages per second (the .html files written in the round, counted), pages per CPU
# second of the server and its peak memory. Then it serves one generated article page with
# folirex and, when installed, with nginx, and prints both rates.
#   bench/publish.sh [--articles N] [--batch N] [--parallel N] [--duration SECONDS] [--tmp DIR]
#                    [--bin DIR] [--against-hugo] [--rounds N]
# --tmp DIR puts the site in DIR (default /tmp), e.g. /dev/shm to leave the disk's file system out.
# --bin DIR runs the folirex and folirex-seed found in DIR (e.g. copies of an earlier build, to
# measure two versions in alternating rounds) instead of building build-bench.
# --against-hugo also writes a plain Hugo site of the same published articles, as Hugo's own
# users set one up (titles, dates, authors, subjects and bodies from the seeded database): one
# page per article, the classes as sections whose lists Hugo's paginator pages 20 to a page with
# first, previous, next and last links, the subjects as a taxonomy (folirex writes its subjects'
# lists too), a home page, and no feeds or other kinds that folirex does not write. It alternates
# rounds (folirex first in odd rounds, Hugo in even ones): folirex clears and publishes the
# channel; `hugo --quiet` builds its site cold (fresh output folder and cache). For each side it
# counts the pages it wrote (the .html files: folirex's newer than the round's start, Hugo's in
# its fresh output folder but the page/1/ redirects to a list's first page), the wall time, and
# the CPU time (user + system: the folirex server's from /proc, Hugo's and its children's from
# /usr/bin/time), and prints pages/s and pages per CPU second of each round, then the medians,
# the ratios, each one's peak memory, whether and by how much the page counts differ, and the
# goal: 2x or more of Hugo's pages/s and pages per CPU second. The curl and shell processes that
# drive folirex's steps (as a browser would) are shown apart and not counted. Hugo (Debian
# package "hugo") is installed when run as root.
# --rounds N sets the number of rounds (default 1, or 3 with --against-hugo).
# Needs curl, sqlite3 and /usr/bin/time (Debian package "time", installed when run as root);
# wrk (Debian package "wrk") and nginx for the serving rows. Everything runs on 127.0.0.1.
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
# Finds a program, installing its Debian package first when running as root.
need() {  # PROGRAM PACKAGE
  command -v "$1" >/dev/null && return 0
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "installing $2 (apt-get install $2)" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends "$2" </dev/null >/dev/null 2>&1 ||
      { apt-get update -qq </dev/null >/dev/null 2>&1 &&
        apt-get install -y -qq --no-install-recommends "$2" </dev/null >/dev/null 2>&1; } || true
  fi
  command -v "$1" >/dev/null
}
need /usr/bin/time time || { echo "bench/publish.sh needs /usr/bin/time (apt-get install time)" >&2; exit 1; }
if [ "$against_hugo" = 1 ]; then
  need hugo hugo || { echo "--against-hugo needs hugo (apt-get install hugo)" >&2; exit 1; }
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
# The forty words, as publishing has been measured so far (a seed of --bin from before the
# choice of words seeds only those).
seed_words=()
if "$seed" --help 2>/dev/null | grep -q -- --words; then seed_words=(--words forty); fi
"$seed" "$work/site" --articles "$articles" --channels 1 "${seed_words[@]}" >/dev/null
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
# The server's CPU time so far: user + system of its threads and of children it waited for.
cpu_ticks() { awk '{print $14 + $15 + $16 + $17}' "/proc/$server_pid/stat"; }
# Counts the files under DIR (but DIR/data) changed since MARKER was touched: all, and the pages
# among them (.html), as PAGES FILES.
written() {  # DIR MARKER
  find "$1" -path "$1/data" -prune -o -type f -newer "$2" -print |
    awk '{ files++ } /\.html$/ { pages++ } END { print pages + 0, files + 0 }'
}
# One round of folirex: the old output is cleared first (one step, not timed); then the first
# page, the scripts, every article and every list page, the independent steps run side by side.
# Sets pages and files (written in the round), secs, rate, cpu (the server's CPU seconds),
# cpu_rate (pages per CPU second) and driver_cpu (the CPU seconds of curl and the shells that
# drive the steps, as a browser would: not the publisher's).
publish_round() {
  plan delete | while read -r tail; do step "$tail"; done
  plan first js_all content_all classlist_all subjectlist_all hotlist recommendlist newlist \
    >"$work/steps"
  local cpu_before cpu_after start end
  touch "$work/round-start"
  sleep 0.01  # every file written from now on is newer than the marker
  cpu_before="$(cpu_ticks)"
  start="$(date +%s.%N)"
  /usr/bin/time -f '%U %S' -o "$work/driver.time" \
    xargs -P "$parallel" -I{} bash -c 'step "$@"' _ {} <"$work/steps"
  end="$(date +%s.%N)"
  cpu_after="$(cpu_ticks)"
  read -r pages files <<<"$(written "$work/site" "$work/round-start")"
  secs="$(awk -v s="$start" -v e="$end" 'BEGIN{printf "%.2f", e - s}')"
  rate="$(awk -v p="$pages" -v s="$secs" 'BEGIN{printf "%.0f", p / s}')"
  cpu="$(awk -v a="$cpu_before" -v b="$cpu_after" -v t="$ticks" 'BEGIN{printf "%.2f", (b - a) / t}')"
  cpu_rate="$(awk -v p="$pages" -v c="$cpu" 'BEGIN{ if (c > 0) printf "%.0f", p / c; else print "-" }')"
  driver_cpu="$(awk '{printf "%.2f", $1 + $2}' "$work/driver.time")"
}

# The Hugo site of the same articles, as Hugo's own users set one up: the published articles
# (checked, not deleted, no link), one page each, their bodies as stored (HTML content files,
# which Hugo takes as they are) with the page-break mark taken out; each class a section whose
# list Hugo pages 20 to a page with its paginator's first, previous, next and last links; the
# subjects a taxonomy, whose terms' lists are paged the same, since folirex writes its subjects'
# lists too; the home page with the newest articles. Nothing else: no feeds, sitemap, robots.txt
# or 404 page, which folirex does not write either.
write_hugo_site() {
  local site="$work/hugo"
  mkdir -p "$site/layouts/_default"
  cat >"$site/config.toml" <<'TOML'
baseURL = "http://127.0.0.1/"
title = "Hugo"
paginate = 20
disableKinds = ["RSS", "sitemap", "robotsTXT", "404"]
[taxonomies]
subject = "subjects"
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
{{ with .Paginator }}<div><a href="{{ .First.URL }}">first</a>
{{ if .HasPrev }}<a href="{{ .Prev.URL }}">previous</a>{{ end }}
page {{ .PageNumber }} of {{ .TotalPages }}
{{ if .HasNext }}<a href="{{ .Next.URL }}">next</a>{{ end }}
<a href="{{ .Last.URL }}">last</a></div>{{ end }}{{ end }}
HTML
  cat >"$site/layouts/index.html" <<'HTML'
{{ define "main" }}<ul>
{{ range first 20 .Site.RegularPages }}<li><a href="{{ .RelPermalink }}">{{ .Title }}</a> {{ .Date.Format "2006-01-02" }}</li>
{{ end }}</ul>{{ end }}
HTML
  python3 - "$db" "$site/content" <<'PYTHON'
import json, os, sqlite3, sys
db, out = sys.argv[1], sys.argv[2]
con = sqlite3.connect(db)
rows = con.execute(
    "select a.d_id, a.d_title, a.d_author, a.d_addtime, a.d_content, b.d_dir, b.d_name, s.d_name "
    "from Vantrel_Article a join Vantrel_ArticleClass b on a.d_classid = b.d_id "
    "left join Vantrel_ArticleSubject s on s.d_id = a.d_subjectid "
    "where a.d_channelid = 1 and a.d_checked = -1 and a.d_deleted = 0 "
    "and (a.d_linkurl is null or a.d_linkurl = '')")
sections = set()
for id_, title, author, added, body, folder, name, subject in rows:
    folder = folder.replace("/", "_")
    path = os.path.join(out, folder)
    if folder not in sections:
        os.makedirs(path, exist_ok=True)
        with open(os.path.join(path, "_index.md"), "w") as f:
            f.write(json.dumps({"title": name}, ensure_ascii=False) + "\n")
        sections.add(folder)
    front = {"title": title, "author": author, "date": added.replace(" ", "T") + "+08:00"}
    if subject:
        front["subjects"] = [subject]
    with open(os.path.join(path, "%d.html" % id_), "w") as f:
        f.write(json.dumps(front, ensure_ascii=False) + "\n\n")
        f.write(body.replace("[Vantrel_NextPage]", "") + "\n")
PYTHON
}

# One cold Hugo build into a fresh output folder and cache. Sets hugo_pages and hugo_files
# (written), hugo_aliases (the redirects Hugo writes at a list's page/1/, among the files but not
# the pages), hugo_secs, hugo_rate, hugo_cpu (user + system seconds of hugo and its children),
# hugo_cpu_rate and hugo_memory (peak resident kB).
hugo_round() {
  rm -rf "$work/hugo/public" "$work/hugo-cache"
  local start end user system
  start="$(date +%s.%N)"
  /usr/bin/time -f '%U %S %M' -o "$work/hugo.time" \
    hugo --quiet -s "$work/hugo" -d "$work/hugo/public" --cacheDir "$work/hugo-cache"
  end="$(date +%s.%N)"
  read -r user system hugo_memory <"$work/hugo.time"
  hugo_files="$(find "$work/hugo/public" -type f | wc -l)"
  hugo_aliases="$(find "$work/hugo/public" -path '*/page/1/index.html' | wc -l)"
  hugo_pages="$(find "$work/hugo/public" -name '*.html' -not -path '*/page/1/*' | wc -l)"
  hugo_secs="$(awk -v s="$start" -v e="$end" 'BEGIN{printf "%.2f", e - s}')"
  hugo_rate="$(awk -v p="$hugo_pages" -v s="$hugo_secs" 'BEGIN{printf "%.0f", p / s}')"
  hugo_cpu="$(awk -v u="$user" -v s="$system" 'BEGIN{printf "%.2f", u + s}')"
  hugo_cpu_rate="$(awk -v p="$hugo_pages" -v c="$hugo_cpu" 'BEGIN{ if (c > 0) printf "%.0f", p / c; else print "-" }')"
}

median() {
  sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 > 0) printf "%.2f", a / b; else print "-" }'; }

folirex_said() {  # ROUND
  echo "round $1: folirex wrote $pages pages ($files files) in $secs s = $rate pages/s;" \
    "server CPU $cpu s = $cpu_rate pages per CPU second (the curl driver: $driver_cpu s)"
}
hugo_said() {  # ROUND
  echo "round $1: hugo    wrote $hugo_pages pages ($hugo_files files, $hugo_aliases of them" \
    "page/1/ redirects) in $hugo_secs s = $hugo_rate pages/s;" \
    "CPU $hugo_cpu s = $hugo_cpu_rate pages per CPU second"
}
[ "$against_hugo" = 1 ] && write_hugo_site
rates=() cpu_rates=()
hugo_rates=() hugo_cpu_rates=()
hugo_peak=0
for round in $(seq "$rounds"); do
  # With Hugo, the order alternates (folirex first in odd rounds, Hugo first in even ones), so
  # that load from elsewhere on the machine weighs on both alike.
  order=(folirex)
  if [ "$against_hugo" = 1 ]; then
    if (( round % 2 )); then order=(folirex hugo); else order=(hugo folirex); fi
  fi
  for who in "${order[@]}"; do
    case "$who" in
      folirex)
        publish_round
        rates+=("$rate") cpu_rates+=("$cpu_rate")
        folirex_said "$round" ;;
      hugo)
        hugo_round
        hugo_rates+=("$hugo_rate") hugo_cpu_rates+=("$hugo_cpu_rate")
        [ "$hugo_memory" -gt "$hugo_peak" ] && hugo_peak="$hugo_memory"
        hugo_said "$round" ;;
    esac
  done
done

pending="$(sqlite3 "$db" "select count(*) from Vantrel_Article where d_generatedflag = 0 and d_checked = -1 and d_deleted = 0 and d_channelid = 1 and (d_linkurl is null or d_linkurl = '')")"
rate="$(printf '%s\n' "${rates[@]}" | median)"
cpu_rate="$(printf '%s\n' "${cpu_rates[@]}" | median)"
memory="$(awk '/VmHWM/{print $2, $3}' "/proc/$server_pid/status")"
echo "steps: $(wc -l <"$work/steps"), batch size $batch, $parallel at a time"
echo "published: $pages pages, median $rate pages/s over $rounds rounds; articles left ungenerated: $pending"
echo "server peak memory: $memory"
# On a machine shared with other work the wall-clock rate understates the server; its own CPU
# time gives the rate it would reach on otherwise idle cores.
echo "server CPU: median $cpu_rate pages per CPU second (last round $cpu s); load average now: $(cut -d' ' -f1 /proc/loadavg)"
if [ "$against_hugo" = 1 ]; then
  hugo_median="$(printf '%s\n' "${hugo_rates[@]}" | median)"
  hugo_cpu_median="$(printf '%s\n' "${hugo_cpu_rates[@]}" | median)"
  echo
  echo "publishing against a plain Hugo site of the same articles, $rounds alternating rounds (medians;"
  echo "pages = the .html files each wrote in the round; CPU = user + system of the folirex server,"
  echo "and of hugo and its children)"
  printf '%-8s %8s %8s %12s %12s %12s\n' "" pages files "pages/s" "pages/CPU s" "peak memory"
  printf '%-8s %8s %8s %12s %12s %12s\n' folirex "$pages" "$files" "$rate" "$cpu_rate" "$memory"
  printf '%-8s %8s %8s %12s %12s %12s\n' hugo "$hugo_pages" "$hugo_files" "$hugo_median" \
    "$hugo_cpu_median" "$hugo_peak kB"
  wall_x="$(ratio "$rate" "$hugo_median")" cpu_x="$(ratio "$cpu_rate" "$hugo_cpu_median")"
  printf '%-8s %8s %8s %12s %12s\n' "ratio" "" "" "${wall_x}x" "${cpu_x}x"
  # The two sites are made of the same articles but not of the same pages: folirex also writes
  # a second page of each continued article and the hot, recommended and newest lists, Hugo an
  # index page of the subjects.
  if [ "$pages" != "$hugo_pages" ]; then
    echo "the page counts differ: folirex wrote $pages pages, Hugo $hugo_pages" \
      "($(awk -v a="$pages" -v b="$hugo_pages" 'BEGIN { printf "%+d, %+.1f%%", a - b, (a - b) / b * 100 }') for folirex)"
  else
    echo "both wrote $pages pages"
  fi
  awk -v a="$wall_x" -v b="$cpu_x" 'BEGIN {
    printf "publishing at 2x or more of Hugo'"'"'s pages/s and pages per CPU second: %s (%sx and %sx)\n",
      ((a >= 2 && b >= 2) ? "met" : "not met"), a, b }'
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
