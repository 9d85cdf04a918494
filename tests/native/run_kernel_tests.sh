#!/usr/bin/env bash
# Builds the core and its kernel tests with AddressSanitizer + UndefinedBehaviorSanitizer and
# runs them with ctest: every kernel family on every instruction-set level this CPU can run,
# bit for bit against plain loops (a Python run reaches only its build's level).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(mktemp -d)"
trap 'rm -rf "$build"' EXIT
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -Wno-deprecated -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNEX_CORE_ONLY=ON -DTARNEX_NATIVE_TESTS=ON -DTARNEX_SANITIZE=ON -DTARNEX_WERROR=ON >/dev/null
cmake --build "$build"
(cd "$build" && ctest --output-on-failure)
