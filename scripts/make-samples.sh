#!/usr/bin/env bash
# Makes the sounds in samples/ that `make run` opens: a few seconds of
# synthetic speech from espeak-ng, as 22050 Hz 16-bit mono WAV files. The
# results are committed, so running Kelvara needs none of these tools; rerun
# this only to change them. Installs espeak-ng and sox when they are missing.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

for tool in espeak-ng sox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    apt-get install -q -y "$tool" </dev/null
  fi
done

mkdir -p samples
# speak NAME VOICE TEXT [WORDS PER MINUTE]: espeak-ng's own output is 22050 Hz 16-bit mono; sox
# rewrites it with a plain 44-byte header and trims the silence at the ends.
speak() {
  local name="$1" voice="$2" text="$3" raw
  raw="$(mktemp --suffix=.wav)"
  espeak-ng -v "$voice" -s "${4:-150}" -w "$raw" "$text"
  sox "$raw" -b 16 -e signed-integer -c 1 -r 22050 "samples/$name" silence 1 0.01 0.1% reverse silence 1 0.01 0.1% reverse
  rm -f "$raw"
}

speak voice-print.wav en-us "Kelvara draws the voice print of a sound, frame by frame."
speak aiueo.wav ja "あいうえお" 100
ls -l samples
