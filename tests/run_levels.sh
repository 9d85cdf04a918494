#!/usr/bin/env bash
# Builds the extension once for each instruction-set level (pinned with -DTARNEX_ISA) and
# runs the tests that compare every kernel family bit for bit with a plain sequential
# reference against each build. A level this CPU cannot run is named in one line instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
flags="$(grep -m1 '^flags' /proc/cpuinfo || true)"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
# The test files that hold kernels to a sequential reference, numpy or the triple loop.
bit_exact=(tests/test_matmul.py tests/test_elementwise.py tests/test_views.py
           tests/test_selection.py tests/test_region_write.py tests/test_record.py
           tests/test_levels.py)
for extra in tests/test_reductions.py tests/test_random_*.py tests/test_io_*.py; do
  [ -e "$extra" ] && bit_exact+=("$extra")
done
for level in baseline avx2 avx512; do
  case "$level" in
    avx2) needs=avx2 ;;
    avx512) needs=avx512f ;;
    *) needs="" ;;
  esac
  if [ -n "$needs" ] && ! grep -qw "$needs" <<<"$flags"; then
    echo "== $level: this CPU has no $needs, so the $level kernels are not checked on this machine =="
    continue
  fi
  build="$(mktemp -d)"
  cmake -Wno-deprecated -S "$root" -B "$build" "${generator[@]}" -DTARNEX_ISA="$level" \
    -DTARNEX_WERROR=ON >/dev/null
  cmake --build "$build" >/dev/null
  echo "== bit-exact tests on the build pinned to $level =="
  TARNEX_EXPECT_ISA="$level" TARNEX_HYPOTHESIS_PROFILE=level PYTHONPATH="$build" \
    python -m pytest -q -p no:cacheprovider "${bit_exact[@]}"
  rm -rf "$build"
done
