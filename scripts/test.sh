#!/usr/bin/env bash
# Installs what is missing, checks the format, builds everything and runs
# every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-format.sh
jobs=$(nproc)

# ctest counts a skipped test as no failure; here a skip fails the run, since
# every dependency of the tests comes from scripts/install-deps.sh.
run_ctest() {
  local log="$1"
  shift
  # The status is taken by hand: set -e does not hold where a caller tests
  # this function's result.
  local status=0
  ctest "$@" | tee "$log" || status=$?
  if [ "$status" -ne 0 ]; then
    return "$status"
  fi
  if grep -q '(Skipped)$' "$log"; then
    echo "test: skipped tests (listed above) hide a missing dependency" >&2
    return 1
  fi
}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
run_ctest build/ctest.log --test-dir build --output-on-failure --no-tests=error -j "$jobs" --timeout 600

# --- Sanitizers (AddressSanitizer, UBSan, LeakSanitizer): the whole suite again.
# Suppressions (tests/sanitizers/lsan.supp) only cover what the system keeps
# alive on purpose and leaks inside system libraries. No sibling calls, so that
# every frame shows in the reports and suppressions can match it.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVELAN_SANITIZE=ON -DQUORVELAN_BENCH=OFF \
  -DCMAKE_C_FLAGS=-fno-optimize-sibling-calls -DCMAKE_CXX_FLAGS=-fno-optimize-sibling-calls >/dev/null
cmake --build build-asan -j "$jobs"
# Mesa unloads its driver while the process ends, before the leak check; a
# leak inside an unloaded library cannot be matched by name. dlclose is made a
# no-op for the run (preloaded ahead of the sanitizer runtime, hence
# verify_asan_link_order=0).
cc -O2 -shared -fPIC -o build-asan/keep_modules.so tests/sanitizers/keep_modules.c
# intercept_tls_get_addr=0: GCC 12's runtime takes a dynamic TLS block whose
# address happens to sit at one offset in its page for an old glibc's block
# with a header, reads a bogus range from it, and LeakSanitizer's tracer then
# crashes at exit ("Tracer caught signal 11"), finding nothing.
LD_PRELOAD="$PWD/build-asan/keep_modules.so" \
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:verify_asan_link_order=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:intercept_tls_get_addr=0" \
LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  run_ctest build-asan/ctest.log --test-dir build-asan --output-on-failure --no-tests=error -j "$jobs" --timeout 900

# --- Fuzzing: every libFuzzer target for a bounded time (scripts/fuzz.sh).
bash scripts/fuzz.sh "${QUORVELAN_FUZZ_SECONDS:-60}"
