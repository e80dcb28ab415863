# Sourced by the build scripts. When ccache is installed, every build folder
# compiles through it, with paths taken relative to the checkout, so a fresh
# clone, the first-run check and the sanitizer build reuse what an earlier
# build compiled. Sets the array cache_options for the CMake configure step.
cache_options=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  export CCACHE_NOHASHDIR=true
  cache_options=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
