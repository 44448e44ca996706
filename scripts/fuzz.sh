#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan in
# build-fuzz and runs each fuzz_* program for the given seconds (default 600),
# starting from its seed corpus tests/fuzz/corpus/<name> and examples/. Fails on any crash,
# hang, leak or sanitizer report; the input that caused it is kept in
# build-fuzz/artifacts/. A timeout counts as a hang only when its input also
# times out when replayed alone.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
jobs="${QUORVELAN_JOBS:-$(nproc)}"

# The fuzz preset (CMakePresets.json): clang, QUORVELAN_FUZZ and
# QUORVELAN_SANITIZE on, no benchmarks; its build preset makes quorvelan_fuzz.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"

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
  rm -f "build-fuzz/$name.log.replay"
  echo "fuzz: $name for ${seconds}s"
  # The example intro's files seed every reader as well.
  extra=()
  if [ -d examples ]; then extra+=(examples); fi
  "$program" "${args[@]}" "$work" "$seeds" "${extra[@]}" >"build-fuzz/$name.log" 2>&1 &
  names+=("$name")
  pids+=($!)
done
# Wait for every target first, so that a timeout is replayed with the machine
# to itself.
codes=()
for i in "${!pids[@]}"; do
  code=0
  wait "${pids[$i]}" || code=$?
  codes+=("$code")
done

# A timeout seen while all the targets ran at once may only mean a loaded
# machine: its input is replayed once, alone, with a generous limit, and the
# run fails only if that replay hangs or fails too. A crash fails at once.
replay_timeout() {
  local program="$1" log="$2" unit
  grep -q 'ERROR: libFuzzer: timeout' "$log" || return 1
  unit=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
  [ -n "$unit" ] && [ -f "$unit" ] || return 1
  echo "fuzz: replaying $unit alone"
  "$program" -timeout=60 -rss_limit_mb=2048 "$unit" >"$log.replay" 2>&1
}

status=0
for i in "${!pids[@]}"; do
  name="${names[$i]}"
  log="build-fuzz/$name.log"
  if [ "${codes[$i]}" -eq 0 ]; then
    echo "fuzz: $name clean: $(grep -E '^Done [0-9]+ runs' "$log" | tail -n 1)"
  elif replay_timeout "build-fuzz/tests/fuzz/fuzz_$name" "$log"; then
    echo "fuzz: $name timed out under load; its input runs alone in time (see $log.replay)"
  else
    echo "fuzz: $name FAILED (see $log and $artifacts/)" >&2
    tail -n 60 "$log" >&2
    if [ -f "$log.replay" ]; then
      echo "fuzz: the replay alone failed too:" >&2
      tail -n 30 "$log.replay" >&2
    fi
    status=1
  fi
done
if [ ${#pids[@]} -eq 0 ]; then
  echo "fuzz: no fuzz_* program was built" >&2
  status=1
fi
exit $status
