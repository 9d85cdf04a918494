#!/usr/bin/env bash
# Builds the matrix-product kernel test with AddressSanitizer + UndefinedBehaviorSanitizer
# and runs it: it checks every instruction-set path (the Python tests reach only the widest
# one the machine has) bit for bit against the plain sequential loop.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(mktemp -d)"
trap 'rm -rf "$build"' EXIT
g++ -std=c++20 -O1 -g -fsanitize=address,undefined -fno-sanitize-recover=undefined \
  -ffp-contract=off -I"$root/src" \
  "$root/tests/native/matmul_kernels_test.cpp" "$root"/src/lib/matmul_blocked.cpp \
  "$root"/src/lib/matmul_narrow_avx512.cpp "$root"/src/lib/matmul_kernel_*.cpp \
  "$root/src/lib/buffer.cpp" "$root/src/lib/failure.cpp" \
  -lgtest -lgtest_main -lpthread -o "$build/matmul_kernels_test"
ASAN_OPTIONS=detect_leaks=1 "$build/matmul_kernels_test"
