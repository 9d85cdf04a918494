#!/usr/bin/env bash
# Builds the array core with clang's coverage instrumentation, AddressSanitizer and
# UndefinedBehaviorSanitizer, links the fuzzing harness against it and fuzzes for a bounded
# time: tests/fuzz/run.sh [seconds] (default 60). Fails on any crash, sanitizer report,
# disagreement with the harness's model, leak or timeout. Installs nothing: it needs a clang
# of version 15 or later with its libFuzzer runtime (Debian bookworm: clang-16 and
# libclang-rt-16-dev), cmake, and ninja if present.
#
#   TARNEX_FUZZ_BUILD=dir   keep the build (and the crash artifacts) in dir
#   TARNEX_FUZZ_ISA=level   cap the kernels at auto (default), avx512, avx2 or baseline
#   TARNEX_FUZZ_CXX=path    the compiler to use
set -euo pipefail
seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*|0) echo "run.sh: the time must be a whole number of seconds, at least 1" >&2; exit 2 ;;
esac
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
cat >"$probe/probe.cpp" <<'EOF'
#include <cstddef>
#include <cstdint>
#include <source_location>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) {
    return static_cast<int>(std::source_location::current().line()) - 4;
}
EOF
cxx=""
for candidate in ${TARNEX_FUZZ_CXX:-} clang++-19 clang++-18 clang++-17 clang++-16 clang++-15 clang++; do
  command -v "$candidate" >/dev/null 2>&1 || continue
  if "$candidate" -std=c++20 -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" \
       -o "$probe/probe" >/dev/null 2>&1; then
    cxx="$(command -v "$candidate")"
    break
  fi
done
if [ -z "$cxx" ]; then
  echo "run.sh: no clang with -fsanitize=fuzzer and C++20 <source_location> (clang 15 or later)" >&2
  echo "run.sh: on Debian bookworm: apt-get install clang-16 libclang-rt-16-dev" >&2
  exit 2
fi

build="${TARNEX_FUZZ_BUILD:-$probe/build}"
mkdir -p "$build"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -Wno-dev -S "$root" -B "$build/core" "${generator[@]}" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNEX_CORE_ONLY=ON -DTARNEX_ISA="${TARNEX_FUZZ_ISA:-auto}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link $sanitize" >/dev/null
cmake --build "$build/core"
# shellcheck disable=SC2086
"$cxx" -std=c++20 -O1 -g -ffp-contract=off -fno-fast-math -fsanitize=fuzzer $sanitize \
  -I "$build/core/include-roots/tarnex_core" "$here/core_fuzzer.cpp" \
  "$build/core/libtarnex_core.a" "$build/core/libtarnex_pool.a" -lpthread \
  -o "$build/core_fuzzer"

# New inputs go to a scratch corpus; the committed seeds are only read.
corpus="$build/corpus"
artifacts="$build/artifacts"
mkdir -p "$corpus" "$artifacts"
log="$build/fuzz.log"
echo "== fuzzing the core for ${seconds} s with $("$cxx" --version | head -n1) =="
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
