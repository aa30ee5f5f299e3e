#!/usr/bin/env bash
# Cross-builds the Qt-free half of Mindrel for Windows (mingw-w64) into
# build-windows/ (programs in build-windows/bin/*.exe). Extra arguments are
# passed to CMake's configure step. Optimised lightly and without debug
# information: the build is for the tests under Wine, and compiling is what
# takes the time here.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELEASE=-O1 -DNDEBUG" \
      -DMINDREL_GUI=OFF -DMINDREL_BENCH=OFF -DMINDREL_LINUX_BIN_DIR="$PWD/build/bin" "${launcher[@]}" "$@"
cmake --build build-windows
