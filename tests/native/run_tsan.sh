#!/usr/bin/env bash
# Builds the worker pool's stress test with ThreadSanitizer (preset tsan) and runs it; fails
# on any report. Needs cmake, ninja and GoogleTest.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="$(mktemp -d)"
trap 'rm -rf "$build"' EXIT
cmake --preset tsan -B "$build" >/dev/null
cmake --build "$build" --target pool_stress_test
ctest --test-dir "$build" --output-on-failure
