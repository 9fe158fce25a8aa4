#!/usr/bin/env bash
# Checks tests/postgres/cluster.sh: a cluster it starts answers on the loopback port it prints,
# to the user and password it prints, through the ODBC driver name it registers; stop ends the
# server and removes the folder. Exits 77 (skip) when PostgreSQL or its ODBC driver is missing.
set -euo pipefail
script="$1"
if ! ls /usr/lib/postgresql/*/bin/pg_ctl >/dev/null 2>&1 || ! command -v psql >/dev/null ||
   ! ls /usr/lib/*/odbc/psqlodbca.so >/dev/null 2>&1; then
  echo "SKIPPED: postgresql or odbc-postgresql is not installed"
  exit 77
fi
dir="$(mktemp -d "${TMPDIR:-/tmp}/folirex-pgcheck.XXXXXX")"
trap 'bash "$script" stop "$dir" >/dev/null 2>&1 || true; rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

printed="$(bash "$script" start "$dir")"
eval "$(printf '%s\n' "$printed" | sed -n 's/^\(FOLIREX_PG_[A-Z]*\|ODBCSYSINI\)=\(.*\)$/\1="\2"/p')"
[ -n "${FOLIREX_PG_SERVER:-}" ] || fail "no FOLIREX_PG_SERVER printed: $printed"
[[ "$FOLIREX_PG_SERVER" == 127.0.0.1:* ]] || fail "not a loopback address: $FOLIREX_PG_SERVER"
port="${FOLIREX_PG_SERVER#*:}"
grep -q '^\[SQL Server\]$' "$ODBCSYSINI/odbcinst.ini" || fail "no [SQL Server] driver entry"
driver="$(sed -n 's/^Driver=//p' "$ODBCSYSINI/odbcinst.ini")"
[ -f "$driver" ] || fail "the registered driver $driver does not exist"

answer="$(PGPASSWORD="$FOLIREX_PG_PASSWORD" psql -h 127.0.0.1 -p "$port" -U "$FOLIREX_PG_USER" \
  -d postgres -Atc "select current_setting('listen_addresses'), 1 + 1")"
[ "$answer" = "127.0.0.1|2" ] || fail "unexpected answer: $answer"
if PGPASSWORD=wrong psql -h 127.0.0.1 -p "$port" -U "$FOLIREX_PG_USER" -d postgres -Atc \
     "select 1" >/dev/null 2>&1; then
  fail "a wrong password was accepted"
fi
# A second start into the same folder is refused and leaves the running cluster alone.
if bash "$script" start "$dir" >/dev/null 2>&1; then fail "a second start succeeded"; fi
PGPASSWORD="$FOLIREX_PG_PASSWORD" psql -h 127.0.0.1 -p "$port" -U "$FOLIREX_PG_USER" \
  -d postgres -Atc "select 1" >/dev/null || fail "the cluster stopped after a refused start"

bash "$script" stop "$dir"
[ ! -e "$dir" ] || fail "stop left $dir behind"
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then fail "the server still answers"; fi
echo "cluster script: every check passed"
