#!/usr/bin/env bash
# Checks scripts/copy-to-postgres.sh on a small seeded SQLite site and the private cluster: the
# moved site holds as many rows in every table, a new article gets an id past the copied ones,
# a second run into the now filled database is refused and changes nothing, and pages of the
# moved site, served, are byte for byte those of the SQLite site.
#   move_script_check.sh SCRIPT FOLIREX FOLIREX_SEED
# Reads the cluster from FOLIREX_PG_SERVER, FOLIREX_PG_USER and FOLIREX_PG_PASSWORD; exits 77
# (skip) without them or without sqlite3, psql or curl.
set -euo pipefail
script="$1" folirex="$2" seed="$3"
if [ -z "${FOLIREX_PG_SERVER:-}" ] || ! command -v sqlite3 >/dev/null ||
   ! command -v curl >/dev/null || ! command -v psql >/dev/null; then
  echo "SKIPPED: no private cluster (FOLIREX_PG_SERVER), sqlite3, psql or curl"
  exit 77
fi
work="$(mktemp -d "${TMPDIR:-/tmp}/folirex-movecheck.XXXXXX")"
pids=()
database="move_check_$$"
pg_port="${FOLIREX_PG_SERVER##*:}"
pq() {  # DATABASE SQL
  PGPASSWORD="$FOLIREX_PG_PASSWORD" psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$pg_port" \
    -U "$FOLIREX_PG_USER" -d "$1" -Atc "$2"
}
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pq postgres "DROP DATABASE IF EXISTS $database" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

"$folirex" init "$work/old" >/dev/null
"$seed" "$work/old" --articles 120 --channels 2 --words forty >/dev/null
old_db="$work/old/data/site.db"
pq postgres "CREATE DATABASE $database" >/dev/null
"$folirex" init "$work/new" --DbType 1 --DBServer "$FOLIREX_PG_SERVER" --DBPath "$database" \
  --DBUser "$FOLIREX_PG_USER" --DBPwd "$FOLIREX_PG_PASSWORD" >/dev/null

bash "$script" "$work/old" "$work/new" >"$work/copy.out" 2>&1 || { cat "$work/copy.out"; fail "the copy failed"; }
for table in vantrel_article vantrel_articleclass vantrel_channel vantrel_admin vantrel_articlecomment vantrel_config vantrel_managerfunction; do
  a="$(sqlite3 "$old_db" "select count(*) from $table")"
  b="$(pq "$database" "select count(*) from $table")"
  [ "$a" = "$b" ] || fail "$table: $b rows after the move, $a in the SQLite site"
done
[ "$(sqlite3 "$old_db" "select count(*) from vantrel_article")" -ge 120 ] || fail "the seed made too few articles"
# The sequences continue past the copied ids.
max_id="$(pq "$database" "select max(d_id) from vantrel_article")"
next_id="$(pq "$database" "select nextval(pg_get_serial_sequence('vantrel_article', 'd_id'))")"
[ "$next_id" -gt "$max_id" ] || fail "the next article id $next_id is not past $max_id"

# A filled target is refused with a clear message, and nothing in it changes.
sqlite3 "$old_db" "update vantrel_article set d_title = 'changed after the move' where d_id = $max_id"
if bash "$script" "$work/old" "$work/new" >"$work/again.out" 2>&1; then fail "a filled target was accepted"; fi
grep -q "is not empty" "$work/again.out" || fail "no clear refusal: $(cat "$work/again.out")"
[ "$(pq "$database" "select count(*) from vantrel_article where d_title = 'changed after the move'")" = 0 ] ||
  fail "the refused run changed the target"
sqlite3 "$old_db" "update vantrel_article set d_title = '$(pq "$database" "select d_title from vantrel_article where d_id = $max_id" | sed "s/'/''/g")' where d_id = $max_id"

# Both sites served, one after the other on the same port (pages name their own address).
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
article="$(sqlite3 "$old_db" "select min(d_id) from vantrel_article where d_channelid = 1 and d_deleted = 0 and d_checked <> 0")"
class="$(sqlite3 "$old_db" "select d_classid from vantrel_article where d_id = $article")"
pages=("/asp.asp" "/asp.asp?channelid=1" "/asp.asp?m=content&articleid=$article&channelid=1"
       "/asp.asp?m=classlist&classid=$class&channelid=1")
fetch() {  # SITE LABEL
  "$folirex" serve "$1" --listen "127.0.0.1:$port" --threads 4 >"$work/$2.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$port/asp.asp" && break
    sleep 0.2
  done
  local i=0
  for page in "${pages[@]}"; do
    curl -s -o "$work/$2.$i" -w '%{http_code}\n' "http://127.0.0.1:$port$page" >"$work/$2.$i.status"
    i=$((i + 1))
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}
fetch "$work/old" sqlite
fetch "$work/new" postgres
title="$(sqlite3 "$old_db" "select d_title from vantrel_article where d_id = $article")"
title_gb="$(printf '%s' "$title" | iconv -f UTF-8 -t GB2312)"
grep -qF "$title_gb" "$work/sqlite.2" || fail "the article page does not show its title"
for i in "${!pages[@]}"; do
  [ "$(cat "$work/postgres.$i.status")" = 200 ] || fail "${pages[$i]} answered $(cat "$work/postgres.$i.status") on PostgreSQL"
  cmp -s "$work/sqlite.$i" "$work/postgres.$i" || fail "${pages[$i]} differs after the move"
done
echo "move script: every check passed"
