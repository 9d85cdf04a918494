#!/usr/bin/env bash
# Builds the worker pool's stress test with ThreadSanitizer in a temporary directory and
# runs it; fails on any report. Needs cmake, ninja (or make) and GoogleTest.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(mktemp -d)"
trap 'rm -rf "$build"' EXIT
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -Wno-deprecated -S "$here" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target pool_stress_test
(cd "$build" && ctest --output-on-failure)
