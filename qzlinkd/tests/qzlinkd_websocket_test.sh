#!/usr/bin/env bash
# A Python WebSocket client of qzlinkd: the snapshot and a simulator-side
# power switch as an event (its latency reported, not asserted); a client
# killed in the middle of a move stops the camera; two clients, one lock.
# usage: qzlinkd_websocket_test.sh QZLINKD CAMSIM
set -u
qzlinkd=$1
camsim=$2
here=$(dirname "$0")
. "$here/daemon_support.sh"
if ! "$python" -c 'import websockets' 2>/dev/null; then
  echo "python3-websockets is not installed: skipped"
  exit 77
fi

start_sim 1 --fast --cameras 3
start_daemon --line 1
wait_ready 3 || exit 1
url="ws://127.0.0.1:$port/api/v1/ws?token=$token"

"$python" "$here/ws_client.py" snapshot "$url&client=snapshot" "$work/control1" >"$work/py.out" 2>&1
status=$?
cat "$work/py.out"
check "the snapshot and the power event" [ "$status" -eq 0 ]

"$python" "$here/ws_client.py" hang "$url&client=doomed" >"$work/hang.out" 2>&1 &
client=$!
for _ in $(seq 100); do grep -q moving "$work/hang.out" && break; sleep 0.05; done
check "the client's camera moves" grep -q moving "$work/hang.out"
mark=$(trace_mark)
kill -KILL "$client"; wait "$client" 2>/dev/null
for _ in $(seq 60); do sent_since "$mark" | grep -q '^FF 30 32 00 60 30 30 EF' && break; sleep 0.05; done
check "killing it stops the camera (60 30 30 to camera 2)" bash -c "tail -n +$((mark + 1)) '$QZLINK_TRACE' | grep -q ' send FF 30 32 00 60 30 30 EF'"
a=$(sim_field 1 2 pan); sleep 0.2
check "  it stands still" [ "$(sim_field 1 2 pan)" = "$a" ]
check "  the stop is logged with the reason" grep -q 'disconnect' "$work/daemon.err"

"$python" "$here/ws_client.py" lock "$url" >"$work/lock.out" 2>&1
status=$?
cat "$work/lock.out"
check "two clients, one lock" [ "$status" -eq 0 ]
checks_summary
