#!/usr/bin/env bash
# Installs what is missing, builds Trevolo with everything it finds beside
# itself ("Form Files", "Sample Files", the operating manual) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh build trevolo_program
exec ./build/bin/trevolo "$@"
