#!/usr/bin/env bash
# The real program on an X display: the time from its exec to a window titled
# with the file named on its command line, then the processor time of the
# process over 10 s idle and over 10 s playing (Space pressed in the window).
# Run on a display of its own (Xvfb with a window manager), with the MIDI
# system chosen as for the program (VELKA_MIDI_API, JACK_DEFAULT_SERVER):
#   bench/launch-x11.sh <velka binary> <file.vlk> [runs]
# Each run uses a fresh home folder, so no earlier instance or setting is met;
# the window manager must close a window on Alt+F4 (openbox does).
set -uo pipefail
velka="$1"
file="$2"
runs="${3:-3}"
title="$(basename "$file")"
title="${title%%.*}"
ticks="$(getconf CLK_TCK)"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

for run in $(seq 1 "$runs"); do
  home="$(mktemp -d)"
  mkdir -p "$home/config" "$home/runtime"
  chmod 700 "$home/runtime"
  start="$(now_ms)"
  HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=xcb \
    "$velka" "$file" >"$home/velka.log" 2>&1 &
  pid=$!
  window=""
  while [ -z "$window" ] && [ $(( $(now_ms) - start )) -lt 20000 ]; do
    window="$(xdotool search --onlyvisible --name "^$title" 2>/dev/null | head -n 1)"
    [ -z "$window" ] && sleep 0.005
  done
  titled=$(( $(now_ms) - start ))
  line="run $run: exec to window titled \"$title\": $titled ms"
  if [ "$run" = "$runs" ] && [ -n "$window" ]; then
    sleep 3
    before="$(cpu_ticks "$pid")"
    sleep 10
    idle="$(cpu_ticks "$pid")"
    xdotool windowactivate --sync "$window" key space
    sleep 1
    playing="$(cpu_ticks "$pid")"
    sleep 10
    played="$(cpu_ticks "$pid")"
    xdotool key --window "$window" space
    line="$line; idle $(( (idle - before) * 1000 / ticks )) ms of processor in 10 s"
    line="$line; playing $(( (played - playing) * 1000 / ticks )) ms in 10 s"
  fi
  echo "$line"
  # Closed through its window, as a user closes it: a signal would end the
  # process with its JACK clients open, and the server would keep the next
  # launch waiting for them.
  [ -n "$window" ] && xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
  for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "run $run: the program did not close within 30 s; left running as process $pid"
    exit 1
  fi
  wait "$pid" 2>/dev/null
  rm -rf "$home"
done
