#!/usr/bin/env bash
# Builds the kernel tests under AddressSanitizer + UndefinedBehaviorSanitizer (preset asan)
# and runs them with ctest: every kernel family on every instruction-set level this CPU can
# run, bit for bit against plain loops (a Python run reaches only its build's level).
set -euo pipefail
cd "$(dirname "$0")/../.."
build="$(mktemp -d)"
trap 'rm -rf "$build"' EXIT
cmake --preset asan -B "$build" >/dev/null
cmake --build "$build" --target matmul_kernels_test kernel_levels_test reduction_kernels_test \
  exp_kernels_test
ctest --test-dir "$build" --output-on-failure
