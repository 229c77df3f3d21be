#!/usr/bin/env bash
# pulse-ctl.sh start|stop|status: the private PulseAudio server of a headless
# session (scripts/headless.sh). Tests run it to take the sound server away and
# bring it back; headless.sh uses it for set-up and teardown.
#
# It needs XDG_RUNTIME_DIR (the session's own runtime folder, where the socket
# and the pid file live); the null sink is named $KELVARA_SINK (default
# kelvara) and its monitor becomes the default source, so whatever Kelvara
# plays is what it records.
set -euo pipefail

: "${XDG_RUNTIME_DIR:?pulse-ctl: XDG_RUNTIME_DIR is not set (run inside scripts/headless.sh)}"
sink="${KELVARA_SINK:-kelvara}"
pidfile="$XDG_RUNTIME_DIR/kelvara-pulse.pid"
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
# Keep the server's cookie and state out of the real home folder.
export HOME="$XDG_RUNTIME_DIR"

running_pid() {
  local pid
  pid="$(cat "$pidfile" 2>/dev/null || true)"
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then echo "$pid"; fi
}

start() {
  if [ -n "$(running_pid)" ]; then return 0; fi
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  # Not daemonized, so the pid we keep is the server's own. -n skips the
  # default script: only the null sink and the unix socket exist.
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
    --load="module-null-sink sink_name=$sink" \
    --load="module-native-protocol-unix auth-anonymous=1" \
    >"$XDG_RUNTIME_DIR/pulseaudio.log" 2>&1 </dev/null &
  echo $! >"$pidfile"
  local i
  for i in $(seq 1 200); do   # up to 20 s on a busy machine
    if pactl info >/dev/null 2>&1; then
      pactl set-default-sink "$sink"
      pactl set-default-source "$sink.monitor"
      return 0
    fi
    if [ -z "$(running_pid)" ]; then break; fi
    sleep 0.1
  done
  echo "pulse-ctl: the sound server did not start; its log:" >&2
  cat "$XDG_RUNTIME_DIR/pulseaudio.log" >&2 || true
  stop
  return 1
}

stop() {
  local pid i
  pid="$(running_pid)"
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    for i in $(seq 1 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile"
  # A socket left behind would make clients wait on a dead server.
  rm -rf "$XDG_RUNTIME_DIR/pulse"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  status) if [ -n "$(running_pid)" ]; then echo running; else echo stopped; exit 3; fi ;;
  *) echo "usage: $0 start|stop|status" >&2; exit 2 ;;
esac
