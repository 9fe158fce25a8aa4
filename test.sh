#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/packages.sh test
jobs="$(nproc)"
scripts/build.sh build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFOLIREX_TESTS=ON
(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
# The PostgreSQL tests use a private cluster on a loopback port in a temporary folder (the ODBC
# driver registered as "SQL Server" in its own odbcinst.ini); it is stopped and removed at the
# end, also when a step fails.
pg_dir="$(mktemp -d /tmp/folirex-pg.XXXXXX)"
trap 'tests/postgres/cluster.sh stop "$pg_dir"' EXIT
pg_env="$(tests/postgres/cluster.sh start "$pg_dir")"
while IFS='=' read -r name value; do export "$name=$value"; done <<<"$pg_env"
ctest --test-dir build-test -j"$((jobs * 2))" --output-on-failure --timeout 600
