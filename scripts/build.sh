#!/usr/bin/env bash
# Configures a build folder the way every command of this folder does and
# builds in it:
#
#   scripts/build.sh [FOLDER [TARGET...]]     default: build/, every target
#
# The main build is configured with one set of options (tests and benchmarks
# included), so running the program and running the tests one after the
# other never change its configuration. A folder already configured with
# these options is not configured again; the build itself reruns CMake when
# a CMakeLists.txt changed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
[ $# -gt 0 ] && shift

options=(TREVOLO_BUILD_TESTS=ON TREVOLO_BUILD_BENCH=ON)
source "$root/scripts/compiler-cache.sh"

configured() {
  local cache="$build/CMakeCache.txt" o
  [ -f "$cache" ] && [ -f "$build/build.ninja" ] || return 1
  for o in "${options[@]}"; do
    grep -qx "${o%%=*}:BOOL=${o#*=}" "$cache" || return 1
  done
}

if ! configured; then
  cmake -S "$root" -B "$build" -G Ninja "${options[@]/#/-D}" "${cache_options[@]}"
fi

targets=()
for t in "$@"; do
  targets+=(--target "$t")
done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
