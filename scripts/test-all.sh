#!/usr/bin/env bash
# test-all.sh: everything `make test` runs, in order, with a summary.
#
#  0. scripts/check-layers.sh: the core includes nothing of the Windows side
#  1. the native build (core, core_tests, core_benchmarks) in build/native
#  2. the same core and tests with ASan and UBSan in build/asan
#  3. the Windows build (Kelvara.exe and the UI tests) in build/win64
#  4. the native unit tests, plain and sanitized
#  5. the DFT benchmarks, then scripts/fuzz.sh 60, if there is one
#  6. in one headless session (scripts/headless.sh): the UI tests under Wine,
#     then scripts/soak.sh 60 1, if there is one
#
# A step that fails does not stop the others (only the steps that need its
# build are skipped), so one run shows everything that is wrong. The exit
# code is 0 only when every step passed.
set -uo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
jobs="${JOBS:-2}"

names=()
results=()
times=()

# run NAME COMMAND...: runs one step, records PASS/FAIL and its duration.
run() {
  local name="$1"
  shift
  echo
  echo "==== $name"
  local start=$SECONDS
  "$@"
  local rc=$?
  names+=("$name")
  times+=($((SECONDS - start)))
  if [ "$rc" -eq 0 ]; then results+=(PASS); else results+=("FAIL ($rc)"); fi
  return "$rc"
}

skip() {
  names+=("$1")
  times+=(0)
  results+=("SKIPPED ($2)")
}

configure_and_build() {
  local dir="$1"
  shift
  cmake -S "$repo" -B "$dir" "$@" && cmake --build "$dir" -j "$jobs"
}

# The part that needs the display, Wine and the sound server; runs inside
# scripts/headless.sh and leaves each result in $KELVARA_STATUS_DIR.
if [ "${1:-}" = --headless-part ]; then
  ctest --test-dir build/win64 --output-on-failure
  echo $? >"$KELVARA_STATUS_DIR/ui"
  # CTest shows a passing test's output only in its log; the timings the UI
  # tests print are the figures quoted, so they are shown here.
  echo
  echo "==== timings printed by the UI tests (load: $(cut -d' ' -f1-3 /proc/loadavg))"
  grep -h -E '^(BENCH|\[ benchmark \])' build/win64/Testing/Temporary/LastTest.log || true
  if [ -f scripts/soak.sh ]; then
    echo
    echo "==== soak (60 s, seed 1)"
    soak_start=$SECONDS
    bash scripts/soak.sh 60 1
    echo $? >"$KELVARA_STATUS_DIR/soak"
    echo $((SECONDS - soak_start)) >"$KELVARA_STATUS_DIR/soak-seconds"
  fi
  exit 0
fi

run "install dependencies" scripts/install-deps.sh || { echo "cannot go on without the tools"; exit 1; }

# Which folder includes which: the core must include nothing of the Windows
# side, and no folders may include each other in a cycle.
run "layers (includes between folders)" scripts/check-layers.sh

native_ok=0
asan_ok=0
win64_ok=0
run "build native" configure_and_build build/native && native_ok=1
run "build native with ASan+UBSan" configure_and_build build/asan -DKELVARA_SANITIZE=ON && asan_ok=1
run "build win64 (MinGW)" configure_and_build build/win64 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" && win64_ok=1

if [ "$native_ok" = 1 ]; then
  run "core tests" ctest --test-dir build/native --output-on-failure -j "$jobs"
else
  skip "core tests" "build failed"
fi
if [ "$asan_ok" = 1 ]; then
  # Leak checking needs ptrace, which some containers forbid; address and
  # undefined-behaviour checks do not.
  ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}" \
    UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
    run "core tests with ASan+UBSan" ctest --test-dir build/asan --output-on-failure -j "$jobs"
else
  skip "core tests with ASan+UBSan" "build failed"
fi

# One voice-print frame through Kelvara's engine beside the same frame done
# with FFTW, five runs each; the machine's load is printed with them, since
# the ratio of the two is the figure that holds on a shared machine.
benchmarks() {
  echo "load before the benchmarks: $(cut -d' ' -f1-3 /proc/loadavg)"
  build/native/core_benchmarks --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.2
}
if [ "$native_ok" = 1 ] && [ -x build/native/core_benchmarks ]; then
  run "benchmarks (analyseFrame, FFTW)" benchmarks
else
  skip "benchmarks (analyseFrame, FFTW)" "build failed"
fi

if [ -f scripts/fuzz.sh ]; then
  run "fuzz (60 s)" bash scripts/fuzz.sh 60
fi

if [ "$win64_ok" = 1 ]; then
  status_dir="$(mktemp -d)"
  echo
  echo "==== headless session: UI tests under Wine, then the soak if there is one"
  start=$SECONDS
  KELVARA_BUILD_DIR="$repo/build/win64" KELVARA_STATUS_DIR="$status_dir" \
    scripts/headless.sh -- "$repo/scripts/test-all.sh" --headless-part
  session_rc=$?
  elapsed=$((SECONDS - start))
  ui_rc="$(cat "$status_dir/ui" 2>/dev/null || echo "$session_rc")"
  names+=("UI tests (Wine, headless)")
  times+=("$elapsed")
  if [ "$ui_rc" = 0 ]; then results+=(PASS); else results+=("FAIL ($ui_rc)"); fi
  if [ -f scripts/soak.sh ]; then
    soak_rc="$(cat "$status_dir/soak" 2>/dev/null || echo "did not run")"
    soak_seconds="$(cat "$status_dir/soak-seconds" 2>/dev/null || echo 0)"
    # The soak ran inside the session: its time is taken out of the UI tests'.
    times[${#times[@]}-1]=$((elapsed - soak_seconds))
    names+=("soak (60 s)")
    times+=("$soak_seconds")
    if [ "$soak_rc" = 0 ]; then results+=(PASS); else results+=("FAIL ($soak_rc)"); fi
  fi
  rm -rf "$status_dir"
else
  skip "UI tests (Wine, headless)" "build failed"
fi

echo
echo "==== summary"
failed=0
for i in "${!names[@]}"; do
  printf '  %-32s %-16s %5ss\n' "${names[$i]}" "${results[$i]}" "${times[$i]}"
  case "${results[$i]}" in PASS) ;; *) failed=1 ;; esac
done
echo "  total time: ${SECONDS}s"
if [ "$failed" = 0 ]; then
  echo "ALL PASSED"
else
  echo "SOMETHING FAILED (see the steps above)"
fi
exit "$failed"
