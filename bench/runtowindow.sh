#!/usr/bin/env bash
# Usage: bench/runtowindow.sh [runs]
# How long scripts/run takes from its start until the program's window shows,
# on an X server of its own (Xvfb), with the build as it is: run it once first
# if the build is not up to date. The program gets a home folder of its own and
# a JACK server name that does not exist, so it holds no MIDI client and is
# ended with SIGTERM. Prints each run and the median in seconds, with the load.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-3}"
work="$(mktemp -d)"
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

: >"$work/display"
# -noreset: the server would reset when each launch's program ends, refusing the next.
Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 1 100); do
  display="$(tr -d '[:space:]' <"$work/display")"
  [ -n "$display" ] && break
  sleep 0.1
done
[ -n "$display" ] || { echo "Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$display"
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
export XDG_CACHE_HOME="$work/home/cache" XDG_RUNTIME_DIR="$work/runtime"
export VELKA_MIDI_API=jack JACK_DEFAULT_SERVER="velka-no-server-$$" JACK_NO_START_SERVER=1

times=()
for run in $(seq 1 "$runs"); do
  load="$(cut -d' ' -f1 /proc/loadavg)"
  start=$(date +%s%N)
  "$root/scripts/run" >"$work/run.log" 2>&1 &
  program_pid=$!
  shown=""
  for _ in $(seq 1 3000); do
    xdotool search --onlyvisible --name Untitled >/dev/null 2>&1 && { shown=yes; break; }
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.01
  done
  end=$(date +%s%N)
  if [ -z "$shown" ]; then
    echo "run $run: no window; scripts/run said:" >&2; cat "$work/run.log" >&2; exit 1
  fi
  seconds=$(printf "%.2f" "$(echo "scale=3; ($end - $start) / 1000000000" | bc)")
  echo "run $run: $seconds s to the window (load average $load)"
  times+=("$seconds")
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null
  program_pid=""
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
echo "median $median s over $runs runs"
