# shellcheck shell=bash disable=SC2034
# Shared by the sound-server fixtures (sourced). Process checks use shell
# built-ins only: the scans visit every process of the machine, and on a
# loaded test machine one fork costs tens of milliseconds.

# True while process $1 runs (a zombie waiting for its reaper has ended).
running() {
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

# Sets `comm` to the command name of process $1 ("" once it ended).
read_comm() {
  comm=
  read -r comm 2>/dev/null <"/proc/$1/comm" || true
}

# True when one entry of the NUL-separated file $1 (a process's cmdline or
# environ) matches the pattern $2.
has_entry() {
  local -a entries
  local e
  mapfile -d '' entries 2>/dev/null <"$1" || return 1
  for e in "${entries[@]}"; do
    # shellcheck disable=SC2053
    [[ $e == $2 ]] && return 0
  done
  return 1
}

# Ends the processes given: SIGCONT first (a frozen one would hold its
# SIGTERM), then SIGTERM, and SIGKILL for any still running 5 s later.
end_processes() {
  local pid i
  for pid in "$@"; do
    kill -CONT "$pid" 2>/dev/null || true
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "$@"; do
    for ((i = 0; i < 50; i++)); do
      running "$pid" || break
      sleep 0.1
    done
    if running "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
  done
}

# Reads the fixture's arguments into `action` (start or stop) and `dir` (made,
# absolute), and sets the environment of the server and of its pactl: HOME
# and runtime folders of its own under <dir>, the socket <dir>/native.
fixture_begin() {
  action=${1:-}
  dir=${2:-}
  if { [ "$action" != start ] && [ "$action" != stop ]; } || [ -z "$dir" ]; then
    echo "usage: $0 start|stop <dir>" >&2
    exit 2
  fi
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  socket="$dir/native"
  pidfile="$dir/daemon.pid"
  export HOME="$dir/home"
  export XDG_RUNTIME_DIR="$dir/xdg"
  export XDG_CONFIG_HOME="$dir/home/.config"
  export PULSE_RUNTIME_PATH="$dir"
  export PULSE_SERVER="unix:$socket"
  export PULSE_CLIENTCONFIG="$dir/client.conf"
  unset PULSE_SINK PULSE_SOURCE DBUS_SESSION_BUS_ADDRESS
}
