#!/usr/bin/env bash
# The one list of Debian packages needed to build, test and run Sonacap.
# Idempotent: installs only what is missing, and stays quiet when nothing is.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config
  # test and benchmark frameworks
  libgtest-dev libgmock-dev libbenchmark-dev
  # Qt 5
  qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools qttranslations5-l10n libqt5svg5-dev
  # engine
  libsndfile1-dev libmp3lame-dev libpulse-dev libmpg123-dev
  # program
  libsqlite3-dev libcurl4-openssl-dev libtinyxml2-dev libtag1-dev
  # the update check's TLS test server
  libssl-dev
  # child programs the system runs
  ffmpeg p7zip-full
  # sound server for tests and for running without a desktop
  pulseaudio pulseaudio-utils
  # the second sound server of the capture tests: PipeWire with its PulseAudio
  # server and session manager (beside the pulseaudio package, started only
  # by the tests' fixture)
  pipewire pipewire-pulse wireplumber
  # test and benchmark helpers
  sox lame libfftw3-dev xvfb xauth dbus python3-dbusmock
  # certificates the recognition and mail tests make for their local TLS servers
  openssl
  # fuzz builds (libFuzzer with the sanitizers)
  clang libclang-rt-14-dev
  # the mail tests' real server
  python3-aiosmtpd
  # driving the program under the virtual display by hand
  xdotool
  # the benchmarks' real key presses and clicks (XTEST)
  libxtst-dev
  # font shipped beside the program
  fonts-dejavu-core fonts-noto-core
  # Japanese, which DejaVu lacks: found through fontconfig (without it every
  # Japanese text, the language's own name in Settings too, is empty boxes)
  fonts-ipafont-gothic
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

# The tests start both sound servers by hand. Installing one enables it for
# every user's session, where it would claim the PulseAudio socket beside the
# server the desktop already runs at the next login: a server installed here
# stays off there. One the machine had before is left as it was.
if command -v systemctl >/dev/null; then
  for p in "${missing[@]}"; do
    case "$p" in
      pulseaudio) units=(pulseaudio.service pulseaudio.socket) ;;
      pipewire) units=(pipewire.service pipewire.socket) ;;
      pipewire-pulse) units=(pipewire-pulse.service pipewire-pulse.socket) ;;
      wireplumber) units=(wireplumber.service) ;;
      *) continue ;;
    esac
    $SUDO systemctl --global disable --quiet "${units[@]}" 2>/dev/null || true
  done
fi
