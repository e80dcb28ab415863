#!/usr/bin/env bash
# Installs what is missing, builds Trevolo and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DTREVOLO_BUILD_TESTS=OFF -DTREVOLO_BUILD_BENCH=OFF
cmake --build build --target trevolo
exec ./build/bin/trevolo "$@"
