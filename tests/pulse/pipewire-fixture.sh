#!/usr/bin/env bash
# A private PipeWire sound server for the tests labelled "pipewire": the same
# interface and the same devices as pulse-fixture.sh, served by pipewire-pulse.
#   pipewire-fixture.sh start <dir>   start it (socket <dir>/native) and wait until it answers
#   pipewire-fixture.sh stop <dir>    stop it
# Everything lives under <dir>: HOME, XDG_RUNTIME_DIR, the configuration and a
# D-Bus session bus of its own. Four processes, as on a desktop without its
# systemd user session: dbus-daemon, pipewire (the graph: every node and the
# clock that drives it), wireplumber (the session manager: links streams to
# devices, follows the default output, suspends idle devices) and
# pipewire-pulse (the PulseAudio protocol; <dir>/native leads to it once the
# devices below exist). No hardware is
# touched: the device monitors are off. It offers, through pactl:
#   test_out  a null sink (44.1 kHz), the default output; test_out.monitor is the loopback
#   test_in   a pipe source fed through <dir>/test_in.fifo ("Test_Microphone")
# <dir>/daemon.pid holds pipewire's id: stopping that process (SIGSTOP) hangs
# the server as a whole, since no stream moves without its graph.
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=fixture-lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/fixture-lib.sh"
fixture_begin "$@"
conf="$dir/conf"
pids="$dir/pids"
setup_socket="$dir/setup/native"
export XDG_STATE_HOME="$dir/home/.local/state"
export PIPEWIRE_RUNTIME_DIR="$XDG_RUNTIME_DIR"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus"
unset PIPEWIRE_REMOTE PIPEWIRE_CONFIG_DIR PIPEWIRE_CONFIG_NAME WIREPLUMBER_CONFIG_DIR DISPLAY WAYLAND_DISPLAY

# The server's processes: those in the pid list, and any left by an earlier
# run that lost it (one of our four programs whose runtime folder is ours).
server_pids() {
  local pid name p comm
  if [ -f "$pids" ]; then
    while read -r pid name; do
      read_comm "$pid"
      if [ -n "$pid" ] && [ "$comm" = "$name" ] && running "$pid"; then
        echo "$pid"
      fi
    done <"$pids"
  fi
  for p in /proc/[0-9]*; do
    pid=${p#/proc/}
    read_comm "$pid"
    case "$comm" in
      pipewire | pipewire-pulse | wireplumber | dbus-daemon)
        if has_entry "$p/environ" "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"; then echo "$pid"; fi ;;
    esac
  done
}

stop_server() {
  # shellcheck disable=SC2046
  end_processes $(server_pids | sort -u)
  rm -f "$socket"
  rm -f "$pidfile" "$pids" "$setup_socket" "$dir/bus"
}

fail() {
  echo "pipewire fixture: $*" >&2
  for f in "$dir"/*.log; do
    [ -s "$f" ] && { echo "--- $f" >&2; tail -n 30 "$f" >&2; }
  done
  stop_server
  exit 1
}

# Starts a program in a session of its own, logging to <dir>/<name>.log.
launch() {
  local name=$1
  shift
  setsid "$@" </dev/null >"$dir/$name.log" 2>&1 &
  echo "$! $name" >>"$pids"
  last_pid=$!
}

# Waits up to $1 tenths of a second for the command after it to succeed,
# while every process started so far still runs.
wait_for() {
  local tenths=$1 i pid name
  shift
  for ((i = 0; i < tenths; i++)); do
    if "$@"; then return 0; fi
    while read -r pid name; do
      running "$pid" || fail "$name ended at start"
    done <"$pids"
    sleep 0.1
  done
  "$@"
}

answers() { timeout 3 pactl info >/dev/null 2>&1; }
has_sink() { pactl list short sinks 2>/dev/null | grep -q $'^[0-9]*\t'"$1"$'\t'; }
has_source() { pactl list short sources 2>/dev/null | grep -q $'^[0-9]*\t'"$1"$'\t'; }
default_is() { [ "$(timeout 3 pactl get-default-sink 2>/dev/null)" = test_out ] &&
               [ "$(timeout 3 pactl get-default-source 2>/dev/null)" = test_in ]; }

write_config() {
  mkdir -p "$conf" "$XDG_CONFIG_HOME/wireplumber/main.lua.d"
  # Neither server takes realtime priority, as the PulseAudio daemon of the
  # other fixture does not: the test machine's cores are shared. The rest is
  # the packaged configuration of each program.
  cat >"$conf/pipewire.conf" <<'EOF'
context.properties = {
    link.max-buffers = 16
    core.daemon = true
    core.name = pipewire-0
    default.clock.min-quantum = 16
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-profiler }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-device-factory }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-client-device }
    { name = libpipewire-module-access }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-session-manager }
]
context.objects = [
    { factory = spa-node-factory
        args = {
            factory.name    = support.node.driver
            node.name       = Dummy-Driver
            node.group      = pipewire.dummy
            priority.driver = 20000
        }
    }
    { factory = spa-node-factory
        args = {
            factory.name    = support.node.driver
            node.name       = Freewheel-Driver
            priority.driver = 19000
            node.group      = pipewire.freewheel
            node.freewheel  = true
        }
    }
]
EOF
  # No module-always-sink: a server without outputs has none, as the other
  # fixture's has none.
  cat >"$conf/pipewire-pulse.conf" <<EOF
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-protocol-pulse
        args = {
            server.address = [ "unix:$setup_socket" ]
        }
    }
]
EOF
  sed -e '/libpipewire-module-rt/,/^  }/d' -e '/bluetooth.lua/d' \
      /usr/share/wireplumber/wireplumber.conf >"$XDG_CONFIG_HOME/wireplumber/wireplumber.conf"
  grep -q libpipewire-module-rt "$XDG_CONFIG_HOME/wireplumber/wireplumber.conf" &&
    fail "could not take the realtime module out of wireplumber.conf"
  cat >"$XDG_CONFIG_HOME/wireplumber/main.lua.d/60-headless.lua" <<'EOF'
-- No sound cards, cameras or Bluetooth: only the devices made through pactl.
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
EOF
  printf 'autospawn = no\n' >"$PULSE_CLIENTCONFIG"
}

case "$action" in
start)
  for program in dbus-daemon pipewire wireplumber pipewire-pulse; do
    if ! command -v "$program" >/dev/null; then
      echo "$program is not installed (scripts/install-deps.sh)" >&2
      exit 1
    fi
  done
  stop_server
  rm -rf "$HOME" "$XDG_RUNTIME_DIR" "$conf" "$dir/setup" "$dir/test_in.fifo" "$dir"/*.log
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$dir/setup"
  chmod 700 "$XDG_RUNTIME_DIR"
  : >"$pids"
  write_config

  launch dbus dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS"
  wait_for 50 test -S "$dir/bus" || fail "no session bus"
  launch pipewire pipewire -c "$conf/pipewire.conf"
  echo "$last_pid" >"$pidfile"
  wait_for 50 test -S "$XDG_RUNTIME_DIR/pipewire-0" || fail "pipewire does not listen"
  launch wireplumber wireplumber
  launch pipewire-pulse pipewire-pulse -c "$conf/pipewire-pulse.conf"
  export PULSE_SERVER="unix:$setup_socket"
  wait_for 100 answers || fail "pipewire-pulse does not answer on $setup_socket"

  pactl load-module module-null-sink sink_name=test_out rate=44100 channels=2 \
      sink_properties=device.description=Test_Output >/dev/null ||
    fail "could not load test_out"
  # module-pipe-source makes the FIFO itself and refuses one that exists.
  pactl load-module module-pipe-source source_name=test_in file="$dir/test_in.fifo" format=s16le \
      rate=44100 channels=2 source_properties=device.description=Test_Microphone >/dev/null ||
    fail "could not load test_in"
  wait_for 50 has_sink test_out || fail "test_out does not appear"
  wait_for 50 has_source test_in || fail "test_in does not appear"
  # The session manager picks the default: it must have seen both devices
  # before the choice made here counts.
  pactl set-default-sink test_out
  pactl set-default-source test_in
  wait_for 50 default_is || fail "test_out and test_in do not become the defaults"
  # Only now does the tests' address lead to the server: as with the
  # PulseAudio daemon, whose devices exist before its socket answers, a
  # client never finds this server without them (one that reconnects after a
  # restart included).
  ln -s "$setup_socket" "$socket"
  export PULSE_SERVER="unix:$socket"
  answers || fail "pipewire-pulse does not answer on $socket"
  echo "pipewire $(cat "$pidfile") serves $PULSE_SERVER"
  ;;
stop)
  stop_server
  echo "pipewire stopped"
  ;;
esac
