#!/usr/bin/env bash
# Fuzzes the WAV reader and decoder for SECONDS (default 600).
#
#   scripts/fuzz.sh [SECONDS]
#
# Builds the libFuzzer target with clang into build/fuzz, writes the seed
# corpus into build/fuzz/corpus (fresh each run) and keeps what libFuzzer
# discovers in build/fuzz/work, so later runs start from there. Any finding
# (invariant broken, sanitizer report, leak, timeout, out of memory) makes the
# script exit non-zero, after its input is copied to
# tests/fuzz/regressions/crash-<sha1>: commit it, and the native tests replay
# it from then on.
set -euo pipefail

seconds=${1:-600}
if ! [[ $seconds =~ ^[0-9]+$ ]] || (( seconds < 1 )); then
  echo "usage: $0 [SECONDS]" >&2
  exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
regressions=$root/tests/fuzz/regressions

# The first of the named programs that is installed, or nothing.
pick() {
  local c
  for c in "$@"; do
    if command -v "$c" >/dev/null 2>&1; then command -v "$c"; return 0; fi
  done
  return 0
}
cc=$(pick clang-14 clang)
cxx=$(pick clang++-14 clang++)
if [[ -z $cc || -z $cxx ]]; then
  echo "fuzz.sh: clang is missing (scripts/install-deps.sh installs it)" >&2
  exit 2
fi

echo "== building the fuzzer in $build"
mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARA_FUZZ=ON -DKELVARA_BENCHMARKS=OFF \
  -DKELVARA_SANITIZE=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 2; }
cmake --build "$build" --target wav_fuzzer make_corpus -j2

rm -rf "$build/corpus" "$build/artifacts"
mkdir -p "$build/corpus" "$build/work" "$build/artifacts"
"$build/make_corpus" "$build/corpus"

symbolizer=$(pick llvm-symbolizer-14 llvm-symbolizer)
[[ -n $symbolizer ]] && export ASAN_SYMBOLIZER_PATH=$symbolizer
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

log=$build/fuzz.log
echo "== fuzzing for $seconds s (log: $log)"
start=$(date +%s)
set +e
# The first folder receives new inputs; the seeds stay as written.
"$build/wav_fuzzer" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -print_final_stats=1 -dict="$root/tests/fuzz/wav.dict" \
  -artifact_prefix="$build/artifacts/" \
  "$build/work" "$build/corpus" >"$log" 2>&1
status=$?
set -e
elapsed=$(( $(date +%s) - start ))

executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
echo "executions: ${executions:-unknown}"
echo "run time: ${elapsed} s"
echo "corpus: $(find "$build/work" -type f | wc -l) inputs kept in build/fuzz/work"

findings=0
shopt -s nullglob
for artifact in "$build"/artifacts/{crash,leak,timeout,oom}-*; do
  sha=$(sha1sum "$artifact" | cut -d' ' -f1)
  mkdir -p "$regressions"
  cp "$artifact" "$regressions/crash-$sha"
  echo "finding: $(basename "$artifact") -> tests/fuzz/regressions/crash-$sha"
  findings=$((findings + 1))
done

if (( status != 0 || findings > 0 )); then
  echo "== the fuzzer found a fault (exit $status); its report:"
  # The report starts at the sanitizer's or the invariant check's banner.
  awk '/^==[0-9]+==|^==wav invariant|ERROR: libFuzzer|runtime error:/ {on=1} on' "$log" | head -n 80
  exit 1
fi
echo "== no findings"
