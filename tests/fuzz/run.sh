#!/usr/bin/env bash
# Builds the array core with clang's coverage instrumentation, AddressSanitizer and
# UndefinedBehaviorSanitizer and its fuzzing harness (preset fuzz, target core_fuzzer), and
# fuzzes for a bounded time: tests/fuzz/run.sh [seconds] (default 60). Fails on any crash,
# sanitizer report, disagreement with the harness's model, leak or timeout. Installs nothing:
# it needs a clang of version 15 or later with its libFuzzer runtime (Debian bookworm:
# clang-16 and libclang-rt-16-dev; the configure step says so when it is missing), cmake and
# ninja.
#
#   TARNEX_FUZZ_BUILD=dir   keep the build (and the crash artifacts) in dir
#   TARNEX_FUZZ_ISA=level   cap the kernels at auto (default), avx512, avx2 or baseline
#   TARNEX_FUZZ_CXX=path    the compiler to use (default clang++-16)
set -euo pipefail
seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*|0) echo "run.sh: the time must be a whole number of seconds, at least 1" >&2; exit 2 ;;
esac
here="$(cd "$(dirname "$0")" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
build="${TARNEX_FUZZ_BUILD:-$scratch/build}"
cmake -S "$here/../.." --preset fuzz -B "$build" -DTARNEX_ISA="${TARNEX_FUZZ_ISA:-auto}" \
  ${TARNEX_FUZZ_CXX:+-DCMAKE_CXX_COMPILER="$TARNEX_FUZZ_CXX"} >/dev/null
cmake --build "$build" --target core_fuzzer

# New inputs go to a scratch corpus; the committed seeds are only read.
corpus="$build/corpus"
artifacts="$build/artifacts"
mkdir -p "$corpus" "$artifacts"
log="$build/fuzz.log"
echo "== fuzzing the core for ${seconds} s =="
status=0
ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:allocator_may_return_null=0 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$build/core_fuzzer" -max_total_time="$seconds" -max_len=512 -len_control=0 -timeout=30 -rss_limit_mb=2048 \
    -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$here/seeds" >"$log" 2>&1 || status=$?
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|^Done' "$log" || true
if [ "$status" -ne 0 ] || [ -n "$(ls -A "$artifacts")" ]; then
  tail -n 80 "$log" >&2
  echo "run.sh: the fuzzer found a fault (exit status $status); inputs in $artifacts" >&2
  if [ -z "${TARNEX_FUZZ_BUILD:-}" ]; then
    keep="$(mktemp -d /tmp/tarnex-fuzz-artifacts.XXXX)"
    cp -r "$artifacts/." "$keep"
    echo "run.sh: copied them to $keep (reproduce: core_fuzzer <file>)" >&2
  fi
  exit 1
fi
echo "== no fault found =="
