#!/usr/bin/env bash
# wine-run.sh program.exe [args...]
#
# CTest's emulator for the Windows test programs (CMAKE_CROSSCOMPILING_EMULATOR):
# runs the program under Wine and returns its exit code. Inside a session of
# scripts/headless.sh it runs at once; run by hand outside one, it starts its
# own session first, so a single UI test can be run as
#   scripts/wine-run.sh build/win64/StartupTest.exe --gtest_filter=...
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [ $# -eq 0 ]; then
  echo "usage: $0 program.exe [args...]" >&2
  exit 2
fi

if [ "${KELVARA_HEADLESS:-}" != 1 ]; then
  # The prefix belongs to the build folder that holds the program.
  program_dir="$(cd "$(dirname "$1")" && pwd)"
  if [ -z "${KELVARA_BUILD_DIR:-}" ] && [ -f "$program_dir/CMakeCache.txt" ]; then
    export KELVARA_BUILD_DIR="$program_dir"
  fi
  exec "$here/headless.sh" -- "$here/wine-run.sh" "$@"
fi

# CTest passes the environment of the test (KELVARA_EXE, KELVARA_SOURCE_DIR)
# and Wine hands it on to the Windows side. KELVARA_EXE is a Unix path there;
# Wine's Z: drive maps "/" so the driver can turn it into a Windows path.
exec wine "$@"
