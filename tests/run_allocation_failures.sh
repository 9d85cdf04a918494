#!/usr/bin/env bash
# Builds the allocation-failure test build (preset allocation-faults: ASan + UBSan) and runs
# tests/test_allocation_failures.py under the leak checker: every allocation of every call is
# refused in turn, and nothing the extension allocated may be left behind. The interpreter's
# own allocations are suppressed by their allocator frames (tests/lsan_interpreter.supp), so a
# block the extension allocated through malloc or operator new is always reported.
# Needs g++, cmake, ninja and pytest in the current Python; installs nothing.
#   TARNEX_FAULTS_BUILD=dir   keep the build in dir
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
build="${TARNEX_FAULTS_BUILD:-$scratch/build}"
# The interpreter's own executable: a launcher script in front of it (such as a version
# manager's shim) would run under the preloaded leak checker too and be reported.
python="$("$(command -v python || command -v python3)" -c 'import sys; print(sys.executable)')"
cmake -S "$root" --preset allocation-faults -B "$build" -DPython_EXECUTABLE="$python" >/dev/null
cmake --build "$build"

echo "== every allocation refused in turn, under the leak checker =="
# libstdc++ is preloaded too: otherwise the sanitizer runtime cannot find the real
# __cxa_throw when the extension throws its first C++ exception. Thread-local storage is not
# scanned (use_tls=0): GCC 12's leak checker crashes reading the dynamic thread-local blocks
# of the pool's threads. That can only add false reports, never hide a leak. Stacks are
# unwound in full (fast_unwind_on_malloc=0): the frame-pointer unwinder stops inside the
# interpreter, and the suppressions need the frames below it.
LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so.6)" \
PYTHONMALLOC=malloc \
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:allocator_may_return_null=1:fast_unwind_on_malloc=0 \
LSAN_OPTIONS="suppressions=$root/tests/lsan_interpreter.supp:print_suppressions=0:use_tls=0" \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
TARNEX_UNDER_SANITIZER=1 TARNEX_ALLOCATION_FAULTS_REQUIRED=1 PYTHONPATH="$build" \
  "$python" -m pytest -p no:cacheprovider -q -s "$root/tests/test_allocation_failures.py"
