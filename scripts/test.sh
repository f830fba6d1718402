#!/usr/bin/env bash
# Builds the test configuration (AddressSanitizer + UndefinedBehaviorSanitizer,
# the benchmarks too so that they keep building)
# and runs every test; then builds the engine under ThreadSanitizer and runs its
# thread tests. Installs whatever packages are missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

JOBS=$(nproc)
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/sonacap-ccache}
# Let a fresh clone in another folder reuse the cache of an earlier one.
export CCACHE_BASEDIR=$PWD
export CCACHE_NOHASHDIR=true
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-5G}

start=$(date +%s)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DBUILD_TESTING=ON -DSONACAP_SANITIZE=ON -DSONACAP_BENCH=ON >/dev/null
cmake --build build/test -j "$JOBS"
(cd build/test && ctest --output-on-failure -j "$JOBS" --timeout 300)

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DBUILD_TESTING=ON -DSONACAP_TSAN=ON >/dev/null
cmake --build build/tsan -j "$JOBS"
# TSAN_OPTIONS (suppressions for uninstrumented system libraries) come with each test.
(cd build/tsan && ctest --output-on-failure -j "$JOBS" -L threads --timeout 300)
echo "All tests passed in $(( $(date +%s) - start )) s."
