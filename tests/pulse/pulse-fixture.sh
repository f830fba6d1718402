#!/usr/bin/env bash
# A private PulseAudio daemon for the tests labelled "pulse".
#   pulse-fixture.sh start <dir>   start it (socket <dir>/native) and wait until it answers
#   pulse-fixture.sh stop <dir>    stop it
# The daemon has its own HOME, XDG_RUNTIME_DIR and runtime folder under <dir>,
# loads no default script (so no D-Bus, no hardware, no autospawn), and offers:
#   test_out  a null sink, the default output; test_out.monitor is the loopback
#   test_in   a pipe source fed through <dir>/test_in.fifo ("Test_Microphone")
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=fixture-lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/fixture-lib.sh"
fixture_begin "$@"
log="$dir/daemon.log"
export PULSE_STATE_PATH="$dir/state"

# Every daemon serving our socket: the one in the pid file and any left by an
# earlier run that lost its pid file.
daemon_pids() {
  local pid p comm
  if [ -f "$pidfile" ]; then
    read -r pid <"$pidfile" || true
    read_comm "$pid"
    if [ -n "$pid" ] && [ "$comm" = pulseaudio ] && running "$pid"; then
      echo "$pid"
    fi
  fi
  for p in /proc/[0-9]*; do
    pid=${p#/proc/}
    read_comm "$pid"
    if [ "$comm" = pulseaudio ] && has_entry "$p/cmdline" "*socket=$socket"; then
      echo "$pid"
    fi
  done
}

stop_daemon() {
  # shellcheck disable=SC2046
  end_processes $(daemon_pids | sort -u)
  rm -f "$pidfile" "$socket"
}

answers() {
  timeout 3 pactl info >/dev/null 2>&1
}

case "$action" in
start)
  stop_daemon
  rm -rf "$HOME" "$XDG_RUNTIME_DIR" "$PULSE_STATE_PATH" "$dir/test_in.fifo"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$PULSE_STATE_PATH" "$XDG_CONFIG_HOME"
  chmod 700 "$XDG_RUNTIME_DIR"
  printf 'autospawn = no\n' >"$PULSE_CLIENTCONFIG"
  # An idle sink would otherwise switch to 48 kHz for the first 48 kHz stream
  # played into it and keep that rate, so what a test finds on test_out would
  # depend on which tests ran before it.
  mkdir -p "$XDG_CONFIG_HOME/pulse"
  printf 'alternate-sample-rate = 44100\n' >"$XDG_CONFIG_HOME/pulse/daemon.conf"
  # module-pipe-source makes the FIFO itself and refuses one that exists.

  # As root the daemon warns that it is not meant to run so, and runs.
  setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
      --use-pid-file=no --system=no --realtime=no --high-priority=no \
      --log-target=stderr --log-level=notice \
      --load="module-native-protocol-unix auth-anonymous=1 socket=$socket" \
      --load="module-null-sink sink_name=test_out sink_properties=device.description=Test_Output" \
      --load="module-pipe-source source_name=test_in file=$dir/test_in.fifo format=s16le rate=44100 channels=2 source_properties=device.description=Test_Microphone" \
      </dev/null >"$log" 2>&1 &
  echo $! >"$pidfile"

  for ((i = 0; i < 100; i++)); do
    if answers; then break; fi
    if ! running "$(cat "$pidfile")"; then
      echo "pulseaudio ended at start:" >&2
      cat "$log" >&2
      exit 1
    fi
    sleep 0.1
  done
  if ! answers; then
    echo "pulseaudio does not answer on $socket:" >&2
    cat "$log" >&2
    stop_daemon
    exit 1
  fi
  if ! pactl list short sinks | grep -q $'^[0-9]*\ttest_out\t' ||
     ! pactl list short sources | grep -q $'^[0-9]*\ttest_in\t'; then
    echo "pulseaudio is missing test_out or test_in:" >&2
    cat "$log" >&2
    stop_daemon
    exit 1
  fi
  pactl set-default-sink test_out
  pactl set-default-source test_in
  echo "pulseaudio $(cat "$pidfile") serves $PULSE_SERVER"
  ;;
stop)
  stop_daemon
  echo "pulseaudio stopped"
  ;;
esac
