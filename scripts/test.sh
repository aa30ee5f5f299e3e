#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test;
# then cross-builds the Qt-free half for Windows into build-windows/ and runs
# its tests under Wine (with the tests of Windows and Linux programs sharing
# one folder); then builds the headless layers with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/, runs their tests again and runs
# every fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh -DMINDREL_WERROR=ON
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 -j"$(nproc)")

bash scripts/build-windows.sh -DMINDREL_WERROR=ON
# Every test program runs under wine64 in build-windows/wine; its server is
# ended with the tests.
wine_status=0
(cd build-windows && ctest --output-on-failure --timeout 900 -j"$(nproc)") || wine_status=$?
WINEPREFIX="$PWD/build-windows/wine" /usr/lib/wine/wineserver -k 2>/dev/null || true
[ "$wine_status" -eq 0 ] || exit "$wine_status"

CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMINDREL_WERROR=ON \
      -DMINDREL_SANITIZE=ON -DMINDREL_FUZZ=ON -DMINDREL_GUI=OFF -DMINDREL_BENCH=OFF
cmake --build build-asan
# The crash-at-every-write runs start hundreds of processes; they test how
# files are written, which the build above covers, and take too long here.
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure --timeout 1800 -j"$(nproc)" -E '^CrashSafetyTest\.ACrashAtAnyWrite')
bash scripts/fuzz.sh 45 build-asan
