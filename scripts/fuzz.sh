#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan in
# build-fuzz and runs each fuzz_* program for the given seconds (default 600),
# starting from its seed corpus tests/fuzz/corpus/<name> and examples/. Fails on any crash,
# hang, leak or sanitizer report; the input that caused it is kept in
# build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
jobs="${QUORVELAN_JOBS:-$(nproc)}"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVELAN_FUZZ=ON -DQUORVELAN_SANITIZE=ON -DQUORVELAN_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target quorvelan_fuzz

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
artifacts="build-fuzz/artifacts"
mkdir -p "$artifacts"
# The targets run side by side, one core each.
names=()
pids=()
for program in build-fuzz/tests/fuzz/fuzz_*; do
  [ -x "$program" ] || continue
  name="${program##*/fuzz_}"
  seeds="tests/fuzz/corpus/$name"
  # New inputs go to a working corpus, never into the seeds in the tree.
  work="build-fuzz/corpus/$name"
  mkdir -p "$work" "$seeds"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-")
  if [ -f "tests/fuzz/$name.dict" ]; then
    args+=(-dict="tests/fuzz/$name.dict")
  fi
  echo "fuzz: $name for ${seconds}s"
  # The example intro's files seed every reader as well.
  extra=()
  if [ -d examples ]; then extra+=(examples); fi
  "$program" "${args[@]}" "$work" "$seeds" "${extra[@]}" >"build-fuzz/$name.log" 2>&1 &
  names+=("$name")
  pids+=($!)
done
status=0
for i in "${!pids[@]}"; do
  name="${names[$i]}"
  if wait "${pids[$i]}"; then
    echo "fuzz: $name clean: $(grep -E '^Done [0-9]+ runs' "build-fuzz/$name.log" | tail -n 1)"
  else
    echo "fuzz: $name FAILED (see build-fuzz/$name.log and $artifacts/)" >&2
    tail -n 60 "build-fuzz/$name.log" >&2
    status=1
  fi
done
if [ ${#pids[@]} -eq 0 ]; then
  echo "fuzz: no fuzz_* program was built" >&2
  status=1
fi
exit $status
