#!/usr/bin/env bash
# Installs what is missing, checks the format, builds everything and runs
# every test: plain, sanitized and fuzzed. The builds come from
# CMakePresets.json (release in build/, asan in build-asan/, fuzz in build-fuzz/).
#
#   bash scripts/test.sh           everything (what CI runs)
#   bash scripts/test.sh --quick   the release build and its tests only; installs
#                                  nothing (no root, no apt) and says what is missing
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    -h | --help)
      sed -n '2,8s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    *)
      echo "test: unknown option $arg (try --quick or --help)" >&2
      exit 2
      ;;
  esac
done

have() { command -v "$1" >/dev/null 2>&1; }

if [ "$quick" -eq 1 ]; then
  # Nothing is installed: what the build cannot do without stops here, what
  # only some tests need is named, and those tests fail with the same name.
  missing_build=()
  for tool in cmake ctest ninja c++ cc pkg-config; do
    have "$tool" || missing_build+=("$tool")
  done
  if [ ${#missing_build[@]} -ne 0 ]; then
    echo "test --quick: cannot build without: ${missing_build[*]} (bash scripts/install-deps.sh installs them, as root)" >&2
    exit 1
  fi
  missing_tests=()
  for tool in Xvfb xdotool xwd convert; do
    have "$tool" || missing_tests+=("$tool")
  done
  if [ ${#missing_tests[@]} -ne 0 ]; then
    echo "test --quick: missing ${missing_tests[*]}: the end-to-end and on-screen dialog tests will fail" \
      "(bash scripts/install-deps.sh installs them, as root)" >&2
  fi
  if have clang-format; then
    bash scripts/check-format.sh
  else
    echo "test --quick: clang-format is missing: format check skipped" >&2
  fi
else
  bash scripts/install-deps.sh
  bash scripts/check-format.sh
fi
jobs=$(nproc)

# Each run starts with an empty shader cache of the driver's, as on a fresh
# machine: a cache that holds a shader already skips the driver's compile, and
# with it what only that compile shows (its deep recursion on a long shader).
# The end-to-end tests' players inherit it.
shader_caches=()
trap 'rm -rf "${shader_caches[@]}"' EXIT
cold_shader_cache() {
  MESA_SHADER_CACHE_DIR=$(mktemp -d "${TMPDIR:-/tmp}/quorvelan-shader-cache.XXXXXX")
  export MESA_SHADER_CACHE_DIR
  shader_caches+=("$MESA_SHADER_CACHE_DIR")
}

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
# Release preset: RelWithDebInfo in build/; its test preset prints a failing
# test's output, fails when no test is found and gives each test 600 s.
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
cold_shader_cache
run_ctest build/ctest.log --preset release -j "$jobs"

if [ "$quick" -eq 1 ]; then
  echo "test --quick: done (no sanitizer build, no fuzzing; bash scripts/test.sh runs those too)"
  exit 0
fi

# --- Sanitizers (AddressSanitizer, UBSan, LeakSanitizer): the whole suite again.
# Suppressions (tests/sanitizers/lsan.supp) only cover what the system keeps
# alive on purpose and leaks inside system libraries. The asan preset builds
# without sibling calls, so that every frame shows in the reports and
# suppressions can match it.
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
# Mesa unloads its driver while the process ends, before the leak check; a
# leak inside an unloaded library cannot be matched by name. dlclose is made a
# no-op for the run (preloaded ahead of the sanitizer runtime, hence
# verify_asan_link_order=0).
cc -O2 -shared -fPIC -o build-asan/keep_modules.so tests/sanitizers/keep_modules.c
# The asan test preset sets the run's environment (LD_PRELOAD, ASAN_OPTIONS,
# LSAN_OPTIONS, UBSAN_OPTIONS) and gives each test 900 s.
# intercept_tls_get_addr=0: GCC 12's runtime takes a dynamic TLS block whose
# address happens to sit at one offset in its page for an old glibc's block
# with a header, reads a bogus range from it, and LeakSanitizer's tracer then
# crashes at exit ("Tracer caught signal 11"), finding nothing.
cold_shader_cache
run_ctest build-asan/ctest.log --preset asan -j "$jobs"

# --- Fuzzing: every libFuzzer target for a bounded time (scripts/fuzz.sh).
bash scripts/fuzz.sh "${QUORVELAN_FUZZ_SECONDS:-60}"
