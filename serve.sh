#!/usr/bin/env bash
# Installs what is missing, builds, creates a site in ./site when there is none, and serves it
# on http://127.0.0.1:8080/ (FOLIREX_LISTEN=ADDR:PORT for another address) until Ctrl-C. The
# installation and the build print one line each unless they fail; the last lines are always
# the site's address, the console's, and the administrator's name and password.
set -euo pipefail
cd "$(dirname "$0")"
scripts/packages.sh build
scripts/build.sh --target folirex build -DCMAKE_BUILD_TYPE=Release -DFOLIREX_TESTS=OFF

if [ ! -f site/folirex.conf ]; then
  printf 'Creating a site in ./site... '
  if ! created="$(build/folirex init site 2>&1)"; then
    echo failed
    echo "$created" >&2
    exit 1
  fi
  echo "done"
fi

# The server writes into a pipe read here, so that its address lines can be shown together
# with the administrator's. An interrupt or a TERM stops it the way folirex serve stops.
fifo_dir="$(mktemp -d /tmp/folirex-serve.XXXXXX)"
mkfifo "$fifo_dir/out"
build/folirex serve site --listen "${FOLIREX_LISTEN:-127.0.0.1:8080}" >"$fifo_dir/out" 2>&1 &
server=$!
trap 'kill -TERM "$server" 2>/dev/null || true' INT TERM HUP
exec {out}<"$fifo_dir/out"
rm -r "$fifo_dir"

site_url=""
console_url=""
while [ -z "$console_url" ] && IFS= read -r line <&"$out"; do
  case "$line" in
    "  site:"*) site_url="${line##* }" ;;
    "  console:"*) console_url="${line##* }" ;;
    "Serving "*) echo "${line} (Ctrl-C stops it)" ;;
    *) echo "$line" ;;
  esac
done
if [ -n "$console_url" ]; then
  echo "Site:          $site_url"
  echo "Console:       $console_url"
  if [ -f site/data/admin-password.txt ]; then
    read -r name password <site/data/admin-password.txt || true
    echo "Administrator: $name"
    echo "Password:      $password   (as created; change it in the console)"
  else
    # init keeps the first password there; without the file, the owner has set their own.
    echo "Administrator: admin"
    echo "Password:      the one you set (site/data/admin-password.txt is gone)"
  fi
fi
while IFS= read -r line <&"$out"; do echo "$line"; done
status=0
wait "$server" || status=$?
exit "$status"
