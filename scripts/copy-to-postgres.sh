#!/usr/bin/env bash
# Moves a site kept in SQLite to PostgreSQL:
#
#   scripts/copy-to-postgres.sh OLD_SITE NEW_SITE
#
# OLD_SITE is the folder of the SQLite site (its settings file names the file, data/site.db by
# default); it may keep serving meanwhile: the rows are read from a consistent copy made by
# VACUUM INTO. NEW_SITE is a folder made by `folirex init NEW_SITE --DbType 1 --DBServer ...
# --DBPath ...` on an empty PostgreSQL database and not served yet; the script reads the server,
# database, user and password from its settings file.
#
# Every table of the SQLite file is copied row for row into the table of the same name (CSV
# through psql's \copy, NULLs kept apart from empty text), replacing the rows `folirex init`
# wrote; the secondary indexes are made again after the rows are in; the identity sequences are
# set past the copied ids; each table's rows are counted on both sides. The site's files (uploads,
# published pages, skins, everything besides the settings file and the data folder) are copied
# into NEW_SITE. The list structures and the search indexes are not copied: `folirex serve`
# builds them from the rows when it first opens the database.
#
# A target database that already holds articles, or was already served, is refused and left as
# it is. Needs sqlite3 and psql.
set -euo pipefail

fail() {
  echo "copy-to-postgres: $*" >&2
  exit 1
}
[ $# -eq 2 ] || fail "usage: copy-to-postgres.sh OLD_SITE NEW_SITE"
old="${1%/}" new="${2%/}"
[ -f "$old/folirex.conf" ] || fail "$old holds no site (no folirex.conf)"
[ -f "$new/folirex.conf" ] || fail "$new holds no site: make it with folirex init --DbType 1"

setting() {  # FILE KEY: the value of KEY (letter case ignored), spaces around it trimmed
  sed -n "s/^[[:space:]]*$2[[:space:]]*=[[:space:]]*//Ip" "$1" | tail -n 1 | sed 's/[[:space:]]*$//'
}
[ "$(setting "$old/folirex.conf" DbType)" = 0 ] || fail "$old is not an SQLite site (DbType is not 0)"
[ "$(setting "$new/folirex.conf" DbType)" != 0 ] ||
  fail "$new is an SQLite site: make it with folirex init --DbType 1 on the PostgreSQL server"
old_db="$(setting "$old/folirex.conf" DBPath)"
case "$old_db" in /*) ;; *) old_db="$old/$old_db" ;; esac
[ -f "$old_db" ] || fail "the SQLite file $old_db does not exist"

command -v sqlite3 >/dev/null || fail "sqlite3 is not installed"
psql_bin="$(command -v psql || ls -d /usr/lib/postgresql/*/bin/psql 2>/dev/null | sort -V | tail -n 1)"
[ -n "$psql_bin" ] || fail "psql is not installed"

server="$(setting "$new/folirex.conf" DBServer)"
database="$(setting "$new/folirex.conf" DBPath)"
host="${server%%:*}" port=5432
[ "$host" = "$server" ] || port="${server##*:}"
export PGPASSWORD PGCONNECT_TIMEOUT=10
PGPASSWORD="$(setting "$new/folirex.conf" DBPwd)"
user="$(setting "$new/folirex.conf" DBUser)"
psql_to() {  # [PSQL ARGUMENTS...]
  "$psql_bin" -X -q -v ON_ERROR_STOP=1 -h "$host" -p "$port" ${user:+-U "$user"} -d "$database" "$@"
}
pq() { psql_to -Atc "$1"; }

# The target must be as `folirex init` left it: its tables made, no article, never served (the
# server adds the article data version table at its first opening).
pq "select 1" >/dev/null || fail "cannot reach the database $database on $server"
[ "$(pq "select count(*) from information_schema.tables where table_schema = current_schema() and table_name = 'vantrel_article'")" = 1 ] ||
  fail "the database $database has no site's tables: make it with folirex init --DbType 1"
articles="$(pq "select count(*) from vantrel_article")"
served="$(pq "select count(*) from information_schema.tables where table_schema = current_schema() and table_name = 'vantrel_articleversion'")"
if [ "$articles" != 0 ] || [ "$served" != 0 ]; then
  fail "the database $database on $server is not empty ($articles articles$([ "$served" = 0 ] || echo ', already served')); nothing was copied. Copy into a new database made by folirex init --DbType 1 and not served yet."
fi

# A consistent copy of the SQLite file, taken while the old site may still write to it.
work="$(mktemp -d "${TMPDIR:-/tmp}/folirex-move.XXXXXX")"
trap 'rm -rf "$work"' EXIT
file="$work/site.db"
sqlite3 "$old_db" "VACUUM INTO '$file'"

# The tables of both forms (the SQLite file's search index tables have no counterpart).
tables="$(comm -12 \
  <(sqlite3 "$file" "select lower(name) from sqlite_master where type='table' and name not like 'sqlite%'" | sort) \
  <(pq "select table_name from information_schema.tables where table_schema = current_schema() and table_type = 'BASE TABLE'" | sort))"
[ -n "$tables" ] || fail "no table of $old_db has a counterpart in $database"
# The others are the structures the server derives from the rows (list structures, search and
# keyword indexes): it builds them again at its first start.
skipped="$(comm -23 \
  <(sqlite3 "$file" "select lower(name) from sqlite_master where type='table' and name not like 'sqlite%'" | sort) \
  <(echo "$tables"))"
for table in $skipped; do
  case "$table" in
    vantrel_articlebody* | vantrel_articletext* | vantrel_articlechange | vantrel_articlegram* | \
      vantrel_articlekeyword | vantrel_articleversion | vantrel_searchindex) ;;
    *) fail "the table $table of $old_db has no counterpart in $database; nothing was copied" ;;
  esac
done
[ -z "$skipped" ] || echo "not copied, built again by the server at its first start:" $skipped
# Loaded without the secondary indexes, each table by one \copy in the transaction that empties
# it (so that the rows go in frozen); the indexes are made again after.
defs="$(pq "select indexdef || ';' from pg_indexes where schemaname = current_schema() and indexname not in (select conname from pg_constraint)")"
pq "select 'DROP INDEX ' || quote_ident(indexname) || ';' from pg_indexes where schemaname = current_schema() and indexname not in (select conname from pg_constraint)" |
  psql_to -f - >/dev/null
for table in $tables; do
  echo "copying $table"
  cols="$(sqlite3 "$file" "select group_concat(name, ', ') from pragma_table_info('$table')")"
  sqlite3 -csv -nullvalue '\N' "$file" "select $cols from \"$table\"" |
    psql_to -1 -c "TRUNCATE $table" \
      -c "\\copy $table ($cols) from pstdin with (format csv, null '\\N', freeze)"
done
echo "making the indexes again"
{ echo "SET maintenance_work_mem = '512MB';"; echo "$defs"; } | psql_to -f - >/dev/null
# Every copied table with an identity id continues past the largest id it ever handed out.
for table in $tables; do
  has_id="$(pq "select count(*) from information_schema.columns where table_schema = current_schema() and table_name = '$table' and column_name = 'd_id' and (is_identity = 'YES' or column_default like 'nextval%')")"
  [ "$has_id" = 1 ] || continue
  seq="$(sqlite3 "$file" "select coalesce(max(seq), 0) from sqlite_sequence where lower(name) = '$table'")"
  echo "SELECT setval(pg_get_serial_sequence('$table', 'd_id'), greatest($seq, (select coalesce(max(d_id), 0) from $table), 1));"
done | psql_to -f - >/dev/null
pq "VACUUM ANALYZE" >/dev/null
for table in $tables; do
  a="$(sqlite3 "$file" "select count(*) from \"$table\"")"
  b="$(pq "select count(*) from $table")"
  [ "$a" = "$b" ] || fail "the copy of $table has $b rows, not $a"
done

# The site's files: uploads, published pages, skins and the rest, besides the settings file and
# the data folder (the new site keeps its own).
tar -C "$old" --exclude=./folirex.conf --exclude=./data -cf - . | tar -C "$new" -xf -
echo "copied $(wc -w <<<"$tables") tables and the site's files of $old into $database on $server;" \
  "serve it with: folirex serve $new"
