#!/usr/bin/env bash
# scripts/jack-client-check against a stand-in jack_lsp: a server whose clients
# open, one whose clients hang while they open (a held metadata lock), and a
# server that has exited. No real JACK program runs.
set -u
check="$1"
work="$(mktemp -d)"
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/bin"
echo "jackd: dummy driver started" >"$work/jackd.log"
failures=0

# case | what the stand-in jack_lsp does | server alive | status | longest s | message contains
cases=(
  "opens|exit 0|yes|0|2|"
  "hangs|exec sleep 30|yes|1|8|/dev/shm/jack_db-$(id -u)"
  "server gone|exit 1|no|1|2|did not start"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name body alive want_status longest want_text <<<"$row"
  printf '#!/usr/bin/env bash\n%s\n' "$body" >"$work/bin/jack_lsp"
  chmod +x "$work/bin/jack_lsp"
  if [ "$alive" = yes ]; then
    sleep 60 &
  else
    true &
  fi
  server_pid=$!
  [ "$alive" = yes ] || wait "$server_pid"
  start=$(date +%s.%N)
  PATH="$work/bin:$PATH" "$check" velka-check-test "$server_pid" "$work/jackd.log" 2>"$work/stderr"
  status=$?
  elapsed=$(echo "$(date +%s.%N) - $start" | bc)
  kill "$server_pid" 2>/dev/null
  wait "$server_pid" 2>/dev/null
  server_pid=""
  result="ok"
  if [ "$status" -ne "$want_status" ]; then
    result="status $status, expected $want_status"
  elif [ "$(echo "$elapsed > $longest" | bc)" -eq 1 ]; then
    result="took ${elapsed} s, more than ${longest} s"
  elif [ -n "$want_text" ] && ! grep -qF "$want_text" "$work/stderr"; then
    result="message without \"$want_text\": $(cat "$work/stderr")"
  elif [ "$want_status" -ne 0 ] && [ "$(grep -c . "$work/stderr")" -lt 1 ]; then
    result="no message"
  fi
  echo "$name: $result"
  [ "$result" = ok ] || failures=$((failures + 1))
done
exit "$failures"
