#!/usr/bin/env bash
# Regenerates the committed seed corpus: fuzzes from nothing with short inputs for a while,
# then keeps a smallest set of inputs that reaches every code edge that run reached.
#   tests/fuzz/make_seeds.sh <core_fuzzer binary> [seconds, default 120]
# (TARNEX_FUZZ_BUILD=dir tests/fuzz/run.sh leaves the binary at dir/core_fuzzer.)
set -euo pipefail
fuzzer="$1"
seconds="${2:-120}"
here="$(cd "$(dirname "$0")" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/run" "$scratch/kept"
if ! "$fuzzer" -close_fd_mask=2 -max_len=96 -len_control=0 -max_total_time="$seconds" \
     -artifact_prefix="$scratch/" "$scratch/run" >"$scratch/log" 2>&1; then
  tail -n 40 "$scratch/log" >&2
  echo "make_seeds.sh: the fuzzer found a fault; fix it first" >&2
  exit 1
fi
"$fuzzer" -close_fd_mask=2 -use_counters=0 -use_cmp=0 -set_cover_merge=1 "$scratch/kept" "$scratch/run" >/dev/null 2>&1
rm -rf "$here/seeds"
mkdir "$here/seeds"
cp "$scratch/kept/"* "$here/seeds/"
echo "$(ls "$here/seeds" | wc -l) seeds in $here/seeds"
