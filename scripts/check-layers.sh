#!/usr/bin/env bash
# check-layers.sh [--allow-cycles]: lists which folders of the program include
# which, and fails when
#  - a file of core/ includes a Win32 header or anything of win/ (the core is
#    built natively, for its tests, and must stay platform-neutral), or
#  - the folders include each other in a cycle (every folder must stand only
#    on those below it; --allow-cycles only reports them).
# A folder is a subsystem folder such as core/audio or win/views.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
allow_cycles=0
[ "${1:-}" = --allow-cycles ] && allow_cycles=1

win32_headers='windows|mmsystem|commctrl|commdlg|shellapi|shlobj|objbase|wincodec|winuser|wingdi|ole2'
failed=0

offending="$(grep -rnE "^#include *(<($win32_headers)\.h>|\"win/)" core --include='*.h' --include='*.cpp' || true)"
if [ -n "$offending" ]; then
  echo "check-layers: the core includes the Windows side:"
  echo "$offending"
  failed=1
else
  echo "check-layers: the core includes nothing of the Windows side"
fi

# One edge per (including folder, included folder), with how many files.
edges="$(grep -rHoE '^#include "(core|win)/[a-z]+/' core win --include='*.h' --include='*.cpp' |
  sed -E 's|^([a-z]+/[a-z]+)/[^:]*:#include "([a-z]+/[a-z]+)/$|\1 \2|' |
  awk '$1 != $2' | sort | uniq -c)"
echo "check-layers: folder -> folder it includes (files)"
echo "$edges" | awk '{printf "  %-14s -> %-14s %3d\n", $2, $3, $1}'

loops="$(echo "$edges" | awk '{print $2, $3}' | tsort 2>&1 >/dev/null | sed -n 's/^tsort: //p' | grep -v 'input contains a loop' || true)"
if [ -n "$loops" ]; then
  echo "check-layers: folders that include each other in a cycle: $(echo "$loops" | sort -u | tr '\n' ' ')"
  [ "$allow_cycles" = 1 ] || failed=1
else
  echo "check-layers: no cycle between folders"
fi
exit "$failed"
