#!/usr/bin/env bash
# Installs the Debian packages that building and testing Kelvara needs, and the
# ja_JP.UTF-8 locale. A machine that already has everything is left alone and
# needs no network: dpkg-query decides, apt-get runs only for what is missing.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev   # native build, sanitizers, libFuzzer
  g++-mingw-w64-x86-64                      # the Windows build (-posix compilers)
  wine wine64                               # runs Kelvara.exe and the UI tests
  fonts-wine libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 libxcomposite1
                                            # what Wine draws with (its fonts, X extensions)
  xvfb x11-utils xauth                      # a display without a screen
  pulseaudio pulseaudio-utils               # a sound server with a null sink
  fonts-noto-cjk locales                    # Japanese glyphs and the ja_JP locale
  googletest libgtest-dev libbenchmark-dev libfftw3-dev
  imagemagick sox python3                   # screenshots; making and measuring sounds; an outside WAV reader
  praat espeak-ng                           # an outside reader of pitch and formants; voices for it to read
  ffmpeg gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
                                            # compressed test files, and the decoders Wine's Media Foundation uses
  git ca-certificates procps
)

# Root runs apt-get itself; anyone else needs sudo.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo -n "$@"
  else
    echo "install-deps: need root (or sudo) to run: $*" >&2
    return 1
  fi
}

is_installed() {
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null || true)" = installed ]
}

missing=()
for p in "${packages[@]}"; do
  is_installed "$p" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -q
  # With the recommended packages: Wine recommends much of what it draws and
  # plays with, and the tests expect a Wine as Debian installs it.
  as_root apt-get install -q -y "${missing[@]}" </dev/null
fi

# Wine takes its Windows locale from glibc's setlocale(): without a compiled
# ja_JP.UTF-8 it falls back to en-US, the common dialogs come up in English and
# the UI font has no Japanese fallback.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  echo "install-deps: generating the ja_JP.UTF-8 locale"
  if [ -f /etc/locale.gen ]; then
    as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  fi
  as_root localedef -i ja_JP -c -f UTF-8 ja_JP.UTF-8
fi

echo "install-deps: all dependencies present"
