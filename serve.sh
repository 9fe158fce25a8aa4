#!/usr/bin/env bash
# Installs what is missing, builds, creates a site in ./site when there is none, and serves it
# on http://127.0.0.1:8080/ until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")"
scripts/packages.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DFOLIREX_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target folirex
if [ ! -f site/folirex.conf ]; then
  build/folirex init site
elif [ -f site/data/admin-password.txt ]; then
  read -r name password < site/data/admin-password.txt
  echo "Administrator: $name   Password: $password (as created; change it in the console)"
fi
exec build/folirex serve site --listen "${FOLIREX_LISTEN:-127.0.0.1:8080}"
