#!/usr/bin/env bash
# Builds everything and runs every test: the shipped files through varnhost, and the shared routines.
set -euo pipefail
cd "$(dirname "$0")"
./build.sh
ctest --test-dir build --output-on-failure -j "${JOBS:-2}"
