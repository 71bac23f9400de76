#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 30) from its corpus. A crash fails the run and
# leaves the input in build/fuzz/crashes/; keep it in fuzz/corpus/<name>/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$root/build/fuzz
seconds=${FUZZ_SECONDS:-30}

cmake -S "$here" -B "$out" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out"

mkdir -p "$out/crashes"
status=0
for fuzzer in "$out"/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer" _fuzzer)
  work=$out/corpus/$name
  mkdir -p "$work"
  [ -d "$here/corpus/$name" ] && cp -r "$here/corpus/$name/." "$work/"
  echo "fuzzing $name for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$root/tools/lsan.supp "$fuzzer" -max_total_time="$seconds" -max_len=65536 \
        -artifact_prefix="$out/crashes/$name-" -print_final_stats=0 "$work" >"$out/$name.log" 2>&1; then
    echo "fuzz target $name failed; see $out/$name.log" >&2
    tail -40 "$out/$name.log" >&2
    status=1
  fi
done
exit $status
