#!/usr/bin/env bash
# Builds Sonacap in Release and starts the program.
#
# On a desktop the program uses the user's display and sound server. On a
# machine with neither (a server, a fresh container) it starts a private
# PulseAudio with a null output and an X virtual frame buffer, runs the
# program there and stops both when the program ends.
#
#   SONACAP_BUILD_DIR   build folder (default build/release)
#   SONACAP_SCREENSHOT  with the virtual display: write a PNG of the screen
#                       to this file a few seconds after the start
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/sonacap-ccache}
build=${SONACAP_BUILD_DIR:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)"
program="$root/$build/bin/TavrelSonacap"
if [ ! -x "$program" ]; then
  echo "The engine library is built ($build/bin/libSonacap.so); the program TavrelSonacap is not there yet."
  exit 0
fi

private=$(mktemp -d "${TMPDIR:-/tmp}/sonacap-run.XXXXXX")
xvfb_pid=""
pulse_started=0
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [ "$pulse_started" = 1 ]; then "$root/tests/pulse/pulse-fixture.sh" stop "$private/pulse" >/dev/null 2>&1 || true; fi
  rm -rf "$private"
}
trap cleanup EXIT

# Sound: the user's server when one answers, else a private one whose default
# output is a null sink ("test_out"); what plays there is what gets recorded.
if ! timeout 3 pactl info >/dev/null 2>&1; then
  echo "No sound server answers: starting a private PulseAudio with a null output."
  "$root/tests/pulse/pulse-fixture.sh" start "$private/pulse" >/dev/null
  pulse_started=1
  export PULSE_SERVER="unix:$private/pulse/native"
  export PULSE_RUNTIME_PATH="$private/pulse"
  echo "  Play into it with: PULSE_SERVER=$PULSE_SERVER paplay <file>"
fi

# Display: the user's X display (or XWayland), else a virtual frame buffer.
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ]; then
  echo "No display: starting a virtual X frame buffer."
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -fbdir "$private" >"$private/xvfb.log" 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      break
    fi
  done
  for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/${DISPLAY#:}" ] && break
    sleep 0.1
  done
  echo "  Display $DISPLAY (look at it with e.g. x11vnc -display $DISPLAY, or set SONACAP_SCREENSHOT)."
fi

data="${XDG_DATA_HOME:-$HOME/.local/share}/Tavrel/Sonacap"
music=$(xdg-user-dir MUSIC 2>/dev/null || echo "$HOME/Music")
[ "$music" = "$HOME" ] && music="$HOME/Music"
echo "Recordings: $music/Tavrel/Sonacap (or the output folder chosen in Settings)"
echo "Library:    $data/music.db (settings $data/sonacap.ini, logs $data/)"

# The virtual frame buffer keeps its screen as an XWD image in $private;
# a few lines of Python turn it into a PNG.
screenshot() {
  python3 - "$private/Xvfb_screen0" "$1" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
h = struct.unpack(">25I", data[:100])
header_size, width, height, bpl, ncolors = h[0], h[4], h[5], h[12], h[19]
start = header_size + ncolors * 12
rows = []
for y in range(height):
    line = data[start + y * bpl:start + y * bpl + width * 4]
    px = bytearray()
    for x in range(0, len(line), 4):
        b, g, r = line[x], line[x + 1], line[x + 2]
        px += bytes((r, g, b))
    rows.append(b"\0" + bytes(px))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
PY
}
if [ -n "$xvfb_pid" ] && [ -n "${SONACAP_SCREENSHOT:-}" ]; then
  (sleep "${SONACAP_SCREENSHOT_DELAY:-6}" && screenshot "$SONACAP_SCREENSHOT" && echo "Screenshot: $SONACAP_SCREENSHOT") &
fi

status=0
"$program" "$@" || status=$?
exit "$status"
