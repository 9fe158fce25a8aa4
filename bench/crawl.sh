#!/usr/bin/env bash
# Compares, byte for byte, every public page and console page of one seeded site as two folirex
# binaries serve it: A, the reference, and B.
#   bench/crawl.sh --base REV [--bin PATH] [--articles N] [--max-urls N] [--max-depth N]
#                  [--max-per-kind N] [--keep DIR]
#   bench/crawl.sh --bin-a PATH --bin-b PATH [...]
# --base REV builds the folirex binary of git revision REV as A (as bench/run.sh --baseline does,
# kept in build-bench-base-<hash>); B is this worktree's build (build-bench, Release) or --bin.
# --keep DIR keeps the answers (DIR/a, DIR/b: one file per page, pages.tsv, links.tsv).
#
# The site: `folirex init` (this worktree's build) and bench's own generator (--articles,
# default 300, five channels of two-level classes, subjects, comments), plus rows added here
# with sqlite3: announcements, adverts, JS snippet definitions, a navigation menu of two
# levels, keywords, a collection project, a second administrator with some rights, one comment
# waiting for review. The settings file keeps only the settings every version reads. Each
# binary serves its own copy of the same folder, one at a time, from the same path and on the
# same port of 127.0.0.1, so no page differs by where it runs. Only the binaries are compared:
# the site's files (siteroot/, the console's scripts and styles) are this worktree's for both.
#
# The crawl (bench/crawl.py): sign in as the first administrator with the password in
# data/admin-password.txt by posting the login page's form (the session cookie is kept), then
# breadth-first from /, /asp.asp, /admin.asp, two public searches, two announcements and every
# link of the console menu frame (admin.asp?m=admin_menu), following every same-origin link:
# href, src and background attributes, the targets of GET forms with their initial values, and
# console addresses ("?m=...") written as strings in scripts and event attributes. GET only,
# with the referring page as Referer. Bounds: --max-urls (default 3000) pages, --max-depth
# (default 8) links from a start page, --max-per-kind (default 100) pages of one kind (same
# path, m=, action= and parameter names). Skipped, never asked for:
#   - another origin, and javascript:, mailto: and data: links;
#   - m=admin_login with any action (signing in again, signing out);
#   - an action= other than these, which only show a form or a list: add, edit, modi, recycle,
#     desc, preview, showchange, move, join, selectpage, privilege, select on admin_articlehtml
#     and admin_defaulthtml, set on admin_articlenavi without flag and on admin_managerprivilege
#     without save (del, delete, clear, empty, create, save, update, up, down, check, out,
#     collection steps and all the others are skipped);
#   - a save= or token= value (a form's saving step, the collection's batch steps).
# The public click counter (m=click) is asked for: it counts, but both servers get the same
# requests in the same order, so later pages show the same counts.
# B is asked exactly A's list in A's order (with the same sign-in first); the links B's pages
# hold that A's do not are listed too.
#
# The comparison: status, headers (not Content-Length, Connection, Date, Keep-Alive) and body of
# each answer, after these masks, which cover what legitimately differs from run to run:
#   - the session cookie's value (Set-Cookie, and wherever a page would print it) -> <session>;
#   - a date and time within the run (from the making of the site to the comparison, a minute
#     of slack each side) -> <now>: the server check's clock, the login log, the last sign-in,
#     an Expires header; the seeded dates all lie before the run, and a date without a time is
#     not masked;
#   - a Last-Modified header with such a date is left out: a static file that the run itself
#     wrote (the announcement scripts the home page writes) is sent without it until the second
#     it was written in has passed, so whether it is there depends on the timing;
#   - the server check's timing of its own additions -> <timing>;
#   - the collection pages' step token (token=, 32 hex digits drawn at random) -> <token>.
# Prints the counts (pages compared, identical, differing) and, for each differing page, its
# first differing line (decoded from GB2312). Exit status 0 only when all are identical.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
source bench/lib.sh
usage="usage: bench/crawl.sh --base REV [--bin PATH] | --bin-a PATH --bin-b PATH
                      [--articles N] [--max-urls N] [--max-depth N] [--max-per-kind N] [--keep DIR]"
base="" bin="" bin_a="" bin_b="" keep_dir=""
articles=300 max_urls=3000 max_depth=8 max_per_kind=100
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
  case "$1" in
    --base) base="$2" ;;
    --bin) bin="$2" ;;
    --bin-a) bin_a="$2" ;;
    --bin-b) bin_b="$2" ;;
    --articles) articles="$2" ;;
    --max-urls) max_urls="$2" ;;
    --max-depth) max_depth="$2" ;;
    --max-per-kind) max_per_kind="$2" ;;
    --keep) keep_dir="$2" ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift 2
done
for n in "$articles" "$max_urls" "$max_depth" "$max_per_kind"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 2; }
done
if [ -n "$base" ]; then
  [ -z "$bin_a$bin_b" ] || { echo "$usage" >&2; exit 2; }
elif [ -z "$bin_a" ] || [ -z "$bin_b" ] || [ -n "$bin" ]; then
  echo "$usage" >&2
  exit 2
fi
for b in "$bin" "$bin_a" "$bin_b"; do
  [ -z "$b" ] || [ -x "$b" ] || { echo "not an executable: $b" >&2; exit 2; }
done
run_start=$(date +%s)

build_tree . build-bench folirex folirex-seed
if [ -n "$base" ]; then
  build_revision "$base" --base
  bin_a="$base_bin"
  bin_b="${bin:-$repo/build-bench/folirex}"
  label_a="${base_hash:0:12} ($base)"
  here="$(git rev-parse --short=12 HEAD)$(git diff --quiet HEAD || echo ', with changes')"
  label_b="${bin:-this worktree ($here)}"
else
  label_a="$bin_a" label_b="$bin_b"
fi

work="$(mktemp -d /tmp/folirex-crawl.XXXXXX)"
cleanup() {
  set +e
  bench_cleanup
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

since=$(date +%s)  # the start of the time mask's window
build-bench/folirex init "$work/seed" >/dev/null
# The forty words: the pages are compared byte for byte, whatever their words.
build-bench/bench/folirex-seed "$work/seed" --articles "$articles" --words forty >/dev/null
keep_common_settings "$work/seed/folirex.conf"
# What the generator leaves empty, so that every kind of page has something to show.
sqlite3 "$work/seed/data/site.db" <<'SQL'
INSERT INTO Vantrel_Announce (d_channelid, d_title, d_content, d_author, d_selectedflag,
                              d_showtype, d_addtime) VALUES
  (0, '网站改版公告', '<p>本站首页已经改版。</p>', '管理员', -1, 2, '2025-06-01 09:30:00'),
  (0, '暂停服务通知', '<p>周六凌晨维护两小时。</p>', '管理员', 0, 1, '2025-05-20 08:00:00'),
  (1, '文章频道征稿', '<p>欢迎投稿。</p>', '编辑部', -1, 2, '2025-06-02 10:00:00');
INSERT INTO Vantrel_AD (d_code, d_type, d_text, d_url, d_src, d_width, d_height, d_desc) VALUES
  ('top_banner', 0, '顶部横幅', 'http://www.example.com/', '/images/hot.gif', 468, 60, '首页顶部'),
  ('text_link', 2, '文字广告：欢迎访问', 'http://www.example.com/', '', 0, 0, '文字');
INSERT INTO Vantrel_JS (d_channelid, d_jsname, d_desc, d_typeflag, d_filename, d_config) VALUES
  (1, '最新文章', '首页的最新文章', 0, 'newest.js',
   '1|0|true|0|10|false|false||0|20|1|false|0|1|true|true|true|true|true|false|true|2'),
  (1, '图片文章', '', 1, 'pictures.js', '1|0|true|0|4|false|false|0|12|0|4|120|90|1|true|2'),
  (1, '查询表单', '', 2, 'search.js', ''),
  (1, '分类导航', '', 3, 'classes.js', '4'),
  (1, '专题列表', '', 5, 'subjects.js', '1');
INSERT INTO Vantrel_NaviMenu (d_id, d_channelid, d_name, d_typeflag, d_pid, d_rootid, d_level,
                              d_path, d_child, d_order, d_openflag, d_linkurl) VALUES
  (1, 1, '新闻', 1, 0, 1, 0, '1,', 2, 1, 0, '/asp.asp?channelid=1'),
  (2, 1, '国内', 1, 1, 1, 1, '1,2,', 0, 2, 0, '/asp.asp?m=newlist&channelid=1'),
  (3, 1, '国际', 1, 1, 1, 1, '1,3,', 0, 3, 1, '/asp.asp?m=hotlist&channelid=1'),
  (4, 1, '体育', 1, 0, 4, 0, '4,', 0, 4, 0, '/asp.asp?m=recommendlist&channelid=1');
INSERT INTO Vantrel_Keyword (d_channelid, d_name, d_order, d_addtime) VALUES
  (1, '经济', 1, '2025-01-01 00:00:00'), (1, '科技', 2, '2025-01-01 00:00:00'),
  (1, '教育', 3, '2025-01-01 00:00:00');
INSERT INTO Vantrel_CollectProject (D_ChannelID, D_ClassID, D_Name, D_PageUrl, D_FirstDiff,
                                    D_IDUrl, D_Title1, D_Title2, D_Content1, D_Content2) VALUES
  (1, 2, '本机示例', 'http://127.0.0.1:9/list_{$ID}.html', 1, 'http://127.0.0.1:9/a_{$ID}.html',
   '<h1>', '</h1>', '<div id="c">', '</div>');
INSERT INTO Vantrel_Admin (d_name, d_password, d_regtime, d_adduser, d_loginnum) VALUES
  ('editor', '0123456789abcdef', '2025-03-01 12:00:00', 'admin', 0);
INSERT INTO Vantrel_ManagerFunction (d_adminname, d_functioncode) VALUES
  ('editor', 'XT_Manage_Main'), ('editor', 'XT_Manage_ChangePwd');
UPDATE Vantrel_ArticleComment SET d_checked = 0
  WHERE d_id = (SELECT min(d_id) FROM Vantrel_ArticleComment);
UPDATE Vantrel_ArticleComment SET d_reply = '谢谢支持。', d_replyuser = 'admin',
                                  d_replytime = '2025-06-03 11:00:00'
  WHERE d_id = (SELECT max(d_id) FROM Vantrel_ArticleComment);
SQL
cp -a "$work/seed" "$work/site-b"
mv "$work/seed" "$work/site-a"

port="$(free_port)"
# Serves the copy of WHO (a or b) from $work/site with BIN and runs crawl.py MODE on it.
serve_and() {  # WHO BIN MODE [ARGUMENT...]
  local who="$1" server="$2" mode="$3"
  shift 3
  mv "$work/site-$who" "$work/site"
  start_server "$server" "$work/site" "$port" 4 "$work/server-$who.err"
  python3 bench/crawl.py "$mode" "127.0.0.1:$port" "$work/site/data/admin-password.txt" \
    "$work/$who" --max-urls "$max_urls" --max-depth "$max_depth" \
    --max-per-kind "$max_per_kind" "$@"
  stop "$server_pid" || echo "$who: the server did not stop within 10 s of SIGTERM" >&2
  mv "$work/site" "$work/site-$who"
}
echo "A: $label_a"
echo "B: $label_b"
printf 'A, crawling: '
serve_and a "$bin_a" crawl
printf 'B, the same list: '
serve_and b "$bin_b" fetch --list "$work/a/pages.tsv"
status=0
python3 bench/crawl.py compare "$work/a" "$work/b" --since "$since" || status=$?
if [ -n "$keep_dir" ]; then
  rm -rf "$keep_dir"
  mkdir -p "$keep_dir"
  cp -a "$work/a" "$work/b" "$keep_dir/"
fi
echo "run time: $(($(date +%s) - run_start)) s"
exit "$status"
