#!/usr/bin/env bash
# headless.sh [--no-sound] -- command [args...]
# headless.sh --use-display -- command [args...]
#
# Runs a command in a private headless session and returns its exit code:
#  - an Xvfb display (1024x768x24) on a free display number,
#  - the Wine prefix <build>/wine (created once, reused later), where <build>
#    is $KELVARA_BUILD_DIR or build/win64 of this repo; all its programs run
#    in one Wine virtual desktop of 1024x768 that fills the display,
#  - unless --no-sound, a PulseAudio server of its own with a null sink named
#    "kelvara" whose monitor is the default source (what Kelvara plays, it can
#    record; what the tests play into the sink, Kelvara records),
#  - LANG=ja_JP.UTF-8, so that Wine runs as a Japanese Windows (Japanese UI
#    font fallback, Japanese common dialogs).
# Everything it starts is stopped again on exit, failure or interrupt.
#
# --use-display keeps the user's own $DISPLAY and sound server and only sets
# up the prefix and the locale (`make run` on a desktop).
#
# What it exports for the command (and so for the tests):
#   DISPLAY, WINEPREFIX, WINEDEBUG, WINEDLLOVERRIDES, LANG
#   XDG_RUNTIME_DIR, PULSE_SERVER   the private sound server (unless --no-sound)
#   KELVARA_SINK=kelvara            the null sink's name
#   KELVARA_PULSE_CTL               a script taking stop|start|status: tests run
#                                   it to take the sound server away and back
#   KELVARA_HEADLESS=1              marks the session (scripts/wine-run.sh)
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sound=1
own_display=0
while [ $# -gt 0 ]; do
  case "$1" in
    --no-sound) sound=0; shift ;;
    --use-display) own_display=1; sound=0; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then
  echo "usage: $0 [--no-sound | --use-display] -- command [args...]" >&2
  exit 2
fi

build="${KELVARA_BUILD_DIR:-$repo/build/win64}"
mkdir -p "$build"
build="$(cd "$build" && pwd)"

# Already inside a session of this prefix (a script that a session runs may
# itself ask for one): run in that session.
if [ "${KELVARA_HEADLESS:-}" = 1 ] && [ "${WINEPREFIX:-}" = "$build/wine" ]; then
  exec "$@"
fi

# One session per prefix at a time: two would share one wineserver, and the
# first to end would kill the other's programs. Nothing started below keeps
# the lock's descriptor (8>&-), so the lock ends with this script.
exec 8>"$build/wine.session.lock"
if ! flock -n 8; then
  echo "headless: another session uses $build/wine; waiting for it to end" >&2
  flock 8
fi

session="$(mktemp -d "${TMPDIR:-/tmp}/kelvara-headless.XXXXXX")"
xvfb_pid=""
child_pid=""
wine_started=0
export KELVARA_SESSION="$session"

export WINEPREFIX="$build/wine"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono, no Gecko: the installers would stall a headless first run.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
unset LC_ALL
export LANG=ja_JP.UTF-8
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "headless: the ja_JP.UTF-8 locale is missing (scripts/install-deps.sh makes it);" \
       "Wine will run in English" >&2
fi

# Every process started in this session carries KELVARA_SESSION in its
# environment. A signal sent to the whole process group (a terminal's Ctrl-C,
# a `kill -- -pgid`) can take the wineserver down before its programs, and
# `wineserver -k` then reaches none of them; this finds them by that mark.
kill_leftovers() {
  local entry pid
  for entry in /proc/[0-9]*; do
    pid="${entry#/proc/}"
    [ "$pid" = "$$" ] && continue
    if grep -qxzF "KELVARA_SESSION=$session" "$entry/environ" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null || true
    fi
  done
}

teardown() {
  local rc=$?
  trap - EXIT INT TERM HUP
  if [ -n "$child_pid" ] && kill -0 "$child_pid" 2>/dev/null; then
    kill "$child_pid" 2>/dev/null || true
    for _ in $(seq 1 100); do
      kill -0 "$child_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$child_pid" 2>/dev/null || true
    wait "$child_pid" 2>/dev/null || true
  fi
  if [ "$wine_started" = 1 ]; then
    # Ends every process of the prefix, then waits until its server is gone.
    timeout 30 wineserver -k 2>/dev/null || true
    timeout 30 wineserver -w 2>/dev/null || true
  fi
  if [ "$sound" = 1 ]; then
    "$repo/scripts/pulse-ctl.sh" stop || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  kill_leftovers
  rm -rf "$session"
  exit "$rc"
}
trap teardown EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Xvfb picks the first free display number itself and writes it to fd 3 once
# it accepts connections: no guessing, no race with other sessions.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
    3>"$session/display" >"$session/xvfb.log" 2>&1 </dev/null 8>&- &
  xvfb_pid=$!
  for _ in $(seq 1 200); do
    if [ -s "$session/display" ]; then break; fi
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [ ! -s "$session/display" ]; then
    echo "headless: Xvfb did not start; its log:" >&2
    cat "$session/xvfb.log" >&2 || true
    exit 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$session/display")"
}

if [ "$own_display" = 0 ]; then
  start_xvfb
elif [ -z "${DISPLAY:-}" ]; then
  echo "headless: --use-display, but DISPLAY is not set" >&2
  exit 2
fi

if [ "$own_display" = 1 ]; then
  : # the user's own sound server, as found
elif [ "$sound" = 1 ]; then
  export XDG_RUNTIME_DIR="$session/run"
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
  export KELVARA_SINK=kelvara
  export KELVARA_PULSE_CTL="$repo/scripts/pulse-ctl.sh"
  "$KELVARA_PULSE_CTL" start 8>&-
else
  # Point Wine at no server at all rather than at one the user may be running.
  export XDG_RUNTIME_DIR="$session/run"
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
fi

wine_started=1
# The prefix is made once and then reused (the session lock above keeps two
# sessions from making it at once).
setup_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "headless: creating the Wine prefix $WINEPREFIX (once, about half a minute)" >&2
    wineboot -i >"$session/wineboot.log" 2>&1 </dev/null
    wineserver -w
  fi
  # Every program of the prefix runs in one Wine virtual desktop of the
  # screen's size. Wine then draws the frames itself and never waits for a
  # window manager: on a bare X server it would wait 2 s for one each time a
  # top-level window hides (every dialog closing, every program exit).
  # Debian's Wine does not find its own Marlett font, which draws the caption
  # buttons; a copy in the prefix's font folder does.
  local stamp="$WINEPREFIX/.kelvara-setup-2"
  if [ ! -f "$stamp" ]; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 </dev/null
    local font
    for font in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
      if [ -f "$font" ]; then cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"; break; fi
    done
    wineserver -w
    touch "$stamp"
  fi
}
setup_prefix 8>&-

export KELVARA_HEADLESS=1
# In the background so that a signal reaches the trap at once; stdin is
# passed on explicitly, since a background job would get /dev/null (and a
# closed stdin, as some CI runners have, becomes /dev/null).
if { true <&0; } 2>/dev/null; then
  "$@" <&0 8>&- &
else
  "$@" </dev/null 8>&- &
fi
child_pid=$!
set +e
wait "$child_pid"
rc=$?
set -e
child_pid=""
exit "$rc"
