#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests, in a folder of its own, listening on 127.0.0.1 only.
#
#   tests/postgres/cluster.sh start DIR   creates and starts the cluster in DIR (an empty folder)
#                                         and prints the shell assignments the tests read:
#                                         FOLIREX_PG_SERVER, FOLIREX_PG_USER, FOLIREX_PG_PASSWORD,
#                                         and ODBCSYSINI (a private odbcinst.ini that registers
#                                         the PostgreSQL ODBC driver as "SQL Server")
#   tests/postgres/cluster.sh stop DIR    stops the cluster and removes DIR
#
# PostgreSQL refuses to run as root, so when run as root the cluster belongs to the user
# "nobody" (FOLIREX_PG_OS_USER to choose another), who then owns DIR.
set -euo pipefail

command="${1:-}"
dir="${2:-}"
if [ -z "$command" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi

bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
if [ -z "$bin" ] || [ ! -x "$bin/pg_ctl" ]; then
  echo "PostgreSQL is not installed (Debian package postgresql)" >&2
  exit 1
fi

os_user=""
if [ "$(id -u)" -eq 0 ]; then os_user="${FOLIREX_PG_OS_USER:-nobody}"; fi

# Runs a PostgreSQL program as the cluster's owner, from a folder that owner can enter.
as_owner() {
  if [ -n "$os_user" ]; then
    (cd "$dir" && runuser -u "$os_user" -- "$@")
  else
    (cd "$dir" && "$@")
  fi
}

odbc_driver() {
  for so in /usr/lib/x86_64-linux-gnu/odbc/psqlodbca.so /usr/lib/*/odbc/psqlodbca.so \
            /usr/lib/odbc/psqlodbca.so; do
    if [ -f "$so" ]; then
      echo "$so"
      return 0
    fi
  done
  return 1
}

case "$command" in
  start)
    mkdir -p "$dir"
    dir="$(cd "$dir" && pwd)"
    if [ -n "$(ls -A "$dir")" ]; then
      echo "$dir is not empty" >&2
      exit 1
    fi
    driver="$(odbc_driver)" || {
      echo "the PostgreSQL ODBC driver is not installed (Debian package odbc-postgresql)" >&2
      exit 1
    }
    password="$(head -c 18 /dev/urandom | base64 | tr -dc 'A-Za-z0-9')"
    user=folirex
    [ -n "$os_user" ] && chown "$os_user" "$dir"
    chmod 700 "$dir"
    as_owner sh -c "umask 077 && printf '%s\n' '$password' > '$dir/pwfile'"
    as_owner "$bin/initdb" -D "$dir/data" -U "$user" --pwfile="$dir/pwfile" \
      --auth=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
      cat "$dir/initdb.log" >&2
      exit 1
    }
    rm -f "$dir/pwfile"
    # A loopback port that nothing answers on; a port taken in the meantime makes the start
    # fail, and another is tried.
    started=""
    # Durability settings are off: the cluster lives as long as one test run.
    options="-c listen_addresses=127.0.0.1 -c unix_socket_directories='$dir'"
    options+=" -c max_connections=400 -c fsync=off -c synchronous_commit=off"
    options+=" -c full_page_writes=off"
    for attempt in 1 2 3 4 5 6 7 8; do
      port=$(( 20000 + RANDOM % 40000 ))
      if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then continue; fi
      if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start \
           -o "$options -c port=$port" >/dev/null 2>&1; then
        started=yes
        break
      fi
    done
    if [ -z "$started" ]; then
      echo "the PostgreSQL cluster in $dir did not start:" >&2
      tail -n 20 "$dir/server.log" >&2 || true
      exit 1
    fi
    mkdir -p "$dir/odbc"
    cat >"$dir/odbc/odbcinst.ini" <<EOF
[SQL Server]
Description=PostgreSQL (psqlODBC) under the driver name the sites' connection string uses
Driver=$driver
EOF
    : >"$dir/odbc/odbc.ini"
    chmod 755 "$dir/odbc"
    chmod 644 "$dir/odbc/odbcinst.ini" "$dir/odbc/odbc.ini"
    echo "FOLIREX_PG_SERVER=127.0.0.1:$port"
    echo "FOLIREX_PG_USER=$user"
    echo "FOLIREX_PG_PASSWORD=$password"
    echo "ODBCSYSINI=$dir/odbc"
    ;;
  stop)
    [ -d "$dir" ] || exit 0
    dir="$(cd "$dir" && pwd)"
    if [ -f "$dir/data/postmaster.pid" ]; then
      as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w -t 60 stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
