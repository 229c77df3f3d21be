#!/usr/bin/env bash
# Soaks Kelvara with random user actions for SECONDS (default 600) from seed
# SEED (default 1), once with a sound server and once without one, and exits
# non-zero if either run found a hang, a crash or a lost sound.
#
#   scripts/soak.sh [SECONDS] [SEED]
#
# Builds Kelvara.exe and SoakDriver.exe in $KELVARA_BUILD_DIR (default
# build/win64) if they are missing or out of date. Each run goes in its own
# headless session (scripts/headless.sh, and headless.sh --no-sound).
# Started inside a session already (make test runs it after the UI tests),
# it uses that session: the run without a server stops the session's server
# before it starts Kelvara (Wine looks for sound devices once per process)
# and starts it again afterwards.
#
# A fault is reported with the seed, the step and the last actions; the same
# SEED gives the same actions. Screenshots of faults go to
# $KELVARA_BUILD_DIR/soak-faults.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Internal: one run of the driver in the current session, its settings in
# the environment (see below).
if [ "${1:-}" = --one-run ]; then
  echo "==== soak $2: ${KELVARA_SOAK_SECONDS} s, seed ${KELVARA_SOAK_SEED}"
  KELVARA_SOAK_LABEL="$2" exec "$repo/scripts/wine-run.sh" "$KELVARA_BUILD_DIR/SoakDriver.exe"
fi

seconds=${1:-600}
seed=${2:-1}
if ! [[ $seconds =~ ^[0-9]+$ ]] || (( seconds < 1 )) || ! [[ $seed =~ ^[0-9]+$ ]]; then
  echo "usage: $0 [SECONDS] [SEED]" >&2
  exit 2
fi

build="${KELVARA_BUILD_DIR:-$repo/build/win64}"
mkdir -p "$build"
build="$(cd "$build" && pwd)"

# The build speaks English whatever locale the session gives Wine (a
# Japanese one inside headless.sh), so its messages read the same in every log.
if [ ! -f "$build/CMakeCache.txt" ]; then
  LC_ALL=C cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake"
fi
LC_ALL=C cmake --build "$build" -j "${JOBS:-2}" --target Kelvara SoakDriver

export KELVARA_BUILD_DIR="$build"
export KELVARA_EXE="$build/Kelvara.exe"
export KELVARA_SOAK_SECONDS="$seconds"
export KELVARA_SOAK_SEED="$seed"
export KELVARA_SOAK_ARTIFACTS="$build/soak-faults"
self="$repo/scripts/soak.sh"

with_rc=0
without_rc=0
if [ "${KELVARA_HEADLESS:-}" = 1 ]; then
  if [ -n "${KELVARA_PULSE_CTL:-}" ]; then
    "$self" --one-run "with a sound server" || with_rc=$?
    "$KELVARA_PULSE_CTL" stop
    "$self" --one-run "without a sound server" || without_rc=$?
    "$KELVARA_PULSE_CTL" start
  else
    "$self" --one-run "without a sound server" || without_rc=$?
  fi
else
  "$repo/scripts/headless.sh" -- "$self" --one-run "with a sound server" || with_rc=$?
  "$repo/scripts/headless.sh" --no-sound -- "$self" --one-run "without a sound server" || without_rc=$?
fi

verdict() { if [ "$1" = 0 ]; then echo passed; else echo "FAILED ($1)"; fi; }
echo "==== soak, ${seconds} s, seed ${seed}: with a sound server $(verdict "$with_rc"), without one $(verdict "$without_rc")"
[ "$with_rc" = 0 ] && [ "$without_rc" = 0 ]
