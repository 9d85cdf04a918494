#!/usr/bin/env bash
# Builds the allocation-failure test build of the extension (CMake option
# TARNEX_ALLOCATION_FAULTS) with AddressSanitizer + UndefinedBehaviorSanitizer and runs
# tests/test_allocation_failures.py under the leak checker: every allocation of every call is
# refused in turn, and nothing the extension allocated may be left behind. The interpreter's
# own allocations (which it does not free at exit) are suppressed by their allocator frames,
# so a block the extension allocated through malloc or operator new is always reported.
# Needs g++, cmake (ninja if present) and pytest in the current Python; installs nothing.
#   TARNEX_FAULTS_BUILD=dir   keep the build in dir
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
build="${TARNEX_FAULTS_BUILD:-$scratch/build}"
# The interpreter's own executable: a launcher script in front of it (such as a version
# manager's shim) would run under the preloaded leak checker too and be reported.
python="$("$(command -v python || command -v python3)" -c 'import sys; print(sys.executable)')"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -Wno-dev -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNEX_SANITIZE=ON -DTARNEX_WERROR=ON -DTARNEX_ALLOCATION_FAULTS=ON \
  -DPython_EXECUTABLE="$python" >/dev/null
cmake --build "$build"

# Python frees little at exit. With PYTHONMALLOC=malloc every block it allocates for itself
# has one of its allocator functions on the stack; the extension's own blocks never do.
# (add_name_to_object: the dynamic loader's record of a loaded library's name.)
# Thread-local storage is not scanned (use_tls=0): GCC 12's leak checker crashes reading the
# dynamic thread-local blocks of the pool's threads. That can only add false reports (a
# block reachable from nothing but a thread-local), never hide a leak.
cat >"$scratch/lsan.supp" <<'SUPP'
leak:PyObject_Malloc
leak:PyObject_Calloc
leak:PyObject_Realloc
leak:PyMem_Malloc
leak:PyMem_Calloc
leak:PyMem_Realloc
leak:PyMem_RawMalloc
leak:PyMem_RawCalloc
leak:PyMem_RawRealloc
leak:_PyMem_RawMalloc
leak:_PyMem_RawCalloc
leak:_PyMem_RawRealloc
leak:_PyObject_GC_New
leak:_PyObject_GC_NewVar
leak:_PyObject_GC_Resize
leak:_PyObject_GC_Link
leak:add_name_to_object
SUPP

echo "== every allocation refused in turn, under the leak checker =="
# libstdc++ is preloaded too: otherwise the sanitizer runtime cannot find the real
# __cxa_throw when the extension throws its first C++ exception.
LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so.6)" \
PYTHONMALLOC=malloc \
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:allocator_may_return_null=1 \
LSAN_OPTIONS="suppressions=$scratch/lsan.supp:print_suppressions=0:use_tls=0" \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
TARNEX_UNDER_SANITIZER=1 TARNEX_ALLOCATION_FAULTS_REQUIRED=1 PYTHONPATH="$build" \
  "$python" -m pytest -p no:cacheprovider -q -s "$root/tests/test_allocation_failures.py"
