#!/usr/bin/env bash
# Installs the Debian packages this project needs that are not installed yet.
#   scripts/packages.sh build   what building and serving needs
#   scripts/packages.sh test    that, and what the tests need
set -euo pipefail
want=(g++ cmake pkg-config libsqlite3-dev unixodbc-dev libpq-dev libpcre2-dev libcurl4-openssl-dev
      libboost-dev)
if [ "${1:-build}" = test ]; then
  want+=(libgtest-dev libcpp-httplib-dev sqlite3 chromium fonts-wqy-zenhei)
  # A private PostgreSQL cluster and its ODBC driver for the server-database tests.
  want+=(postgresql odbc-postgresql)
  # clang with its libFuzzer runtime, for the fuzz targets that run a few seconds in the suite.
  want+=(clang libclang-rt-14-dev)
  # The browser tests run on Node.js; Debian's is used only where the machine has none.
  command -v node >/dev/null || want+=(nodejs npm)
fi
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
# One line while it works; what apt-get printed only when it fails.
printf 'Installing %s... ' "${missing[*]}"
log="$(mktemp /tmp/folirex-packages.XXXXXX)"
if $sudo apt-get update -qq >"$log" 2>&1 &&
   $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
  echo "done"
  rm -f "$log"
else
  status=$?
  echo "failed. apt-get printed (also kept in $log):"
  cat "$log"
  exit "$status"
fi
