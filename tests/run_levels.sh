#!/usr/bin/env bash
# Builds the extension pinned to each instruction-set level (presets baseline, avx2, avx512)
# and runs the tests that compare every kernel family bit for bit with a plain sequential
# reference against each build. A level this CPU cannot run is named in one line instead.
#
# With --release-compiler each level is built as the release wheel is (tools/build_wheel.py
# --isa LEVEL): its compiler and assembler make their own choices of instructions and
# operand order, which the ordinary g++ builds do not exercise.
set -euo pipefail
release_compiler=false
[ "${1:-}" = --release-compiler ] && release_compiler=true
cd "$(dirname "$0")/.."
# The test files that hold kernels to a sequential reference, numpy or the triple loop.
bit_exact=(
  tests/test_matmul.py
  tests/test_elementwise.py
  tests/test_views.py
  tests/test_selection.py
  tests/test_region_write.py
  tests/test_record.py
  tests/test_levels.py
  tests/test_reductions_argmax.py
  tests/test_random_arguments.py
  tests/test_random_methods.py
  tests/test_random_sequences.py
  tests/test_io_data.py
  tests/test_io_masks.py
  tests/test_io_module.py
  tests/test_io_broadcast.py
  tests/test_io_axis.py
  tests/test_io_products_and_makers.py
)
for file in "${bit_exact[@]}"; do
  [ -f "$file" ] || { echo "run_levels.sh: $file does not exist" >&2; exit 2; }
done
flags="$(grep -m1 '^flags' /proc/cpuinfo || true)"
for level in baseline avx2 avx512; do
  needs="${level/avx512/avx512f}"
  if [ "$level" != baseline ] && ! grep -qw "$needs" <<<"$flags"; then
    echo "== $level: this CPU has no $needs, so the $level kernels are not checked on this machine =="
    continue
  fi
  build="$(mktemp -d)"
  if $release_compiler; then
    python tools/build_wheel.py --isa "$level" --out "$build/wheel" >/dev/null
    python -m pip install -q --no-deps --target "$build" "$build"/wheel/*.whl
    echo "== bit-exact tests on the release compiler's build pinned to $level =="
  else
    cmake --preset "$level" -B "$build" >/dev/null
    cmake --build "$build" >/dev/null
    echo "== bit-exact tests on the build pinned to $level =="
  fi
  TARNEX_EXPECT_ISA="$level" TARNEX_HYPOTHESIS_PROFILE=level PYTHONPATH="$build" \
    python -m pytest -q -p no:cacheprovider "${bit_exact[@]}"
  rm -rf "$build"
done
