#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/packages.sh test
jobs="$(nproc)"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFOLIREX_TESTS=ON >/dev/null
cmake --build build-test -j"$jobs"
(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
ctest --test-dir build-test -j"$((jobs * 2))" --output-on-failure --timeout 600
