#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite
# through CTest: the main build (g++), then the fuzz targets (clang, libFuzzer)
# for a bounded time each, then the whole suite again in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
stage() { echo "== test.sh: $1 after $(( (SECONDS - start) / 60 )) min $(( (SECONDS - start) % 60 )) s" >&2; }
./scripts/install-deps.sh
stage "set-up done"
jobs=$(nproc)
source scripts/compiler-cache.sh

# The main build, configured as the run command configures it.
./scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$jobs"
stage "main build and suite done"

# The readers of outside text under libFuzzer with the sanitizers.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTREVOLO_BUILD_FUZZ=ON -DTREVOLO_BUILD_TESTS=OFF -DTREVOLO_BUILD_BENCH=OFF \
  -DTREVOLO_WITH_GUI=OFF -DTREVOLO_WITH_OFFICE=OFF "${cache_options[@]}"
cmake --build build-fuzz -j "$jobs"
ctest --test-dir build-fuzz --output-on-failure -L fuzz -j "$jobs"
stage "fuzz stage done"

# The whole suite again with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer; any report fails its test. The suppressions of
# others' leaks are built into the programs (cmake/sanitizer_options.cpp).
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREVOLO_SANITIZE=ON \
  -DTREVOLO_BUILD_TESTS=ON -DTREVOLO_BUILD_BENCH=OFF "${cache_options[@]}"
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"
stage "sanitizer stage done"
