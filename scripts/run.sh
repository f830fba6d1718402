#!/usr/bin/env bash
# Builds Sonacap in Release and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/sonacap-ccache}
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
if [ ! -x build/release/bin/TavrelSonacap ]; then
  echo "The engine library is built (build/release/bin/libSonacap.so); the program TavrelSonacap is not there yet."
  exit 0
fi
exec build/release/bin/TavrelSonacap "$@"
