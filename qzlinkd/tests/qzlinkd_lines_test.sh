#!/usr/bin/env bash
# qzlinkd with two lines (two simulators, three cameras each): every camera
# is reached; SIGKILL and a restart find the port free at once; SIGTERM
# stops every moving camera before the daemon exits.
# usage: qzlinkd_lines_test.sh QZLINKD CAMSIM
set -u
qzlinkd=$1
camsim=$2
. "$(dirname "$0")/daemon_support.sh"

start_sim 1 --fast --cameras 3
start_sim 2 --fast --cameras 3
start_daemon --line 1 --line 2
check "six cameras on two lines come online" wait_ready 6
api GET /api/v1/lines >/dev/null
check "both lines are open" bash -c "[ \$(grep -o '\"state\":\"open\"' '$work/body' | wc -l) -eq 2 ]"
for line in 1 2; do
  for cam in 1 3; do
    api POST "/api/v1/cameras/$line/$cam/move" '{"pan":0.5,"tilt":0,"timeout_ms":5000}' >/dev/null
  done
done
sleep 0.3
check "a camera of line 1 pans" [ "$(sim_field 1 3 pan)" != 0 ]
check "a camera of line 2 pans" [ "$(sim_field 2 3 pan)" != 0 ]

# SIGKILL: nothing is stopped, but the port is free for the next start.
kill -KILL "$daemon"; wait "$daemon" 2>/dev/null
start_daemon --line 1 --line 2
check "after SIGKILL a restart has the port at once" wait_ready 6
check "  no 'address in use'" bash -c "! grep -qi 'in use' '$work/daemon.err'"

for line in 1 2; do
  for cam in 1 2 3; do
    api POST "/api/v1/cameras/$line/$cam/move" '{"pan":-0.5,"tilt":0.5,"timeout_ms":10000}' >/dev/null
  done
done
sleep 0.3
moving=0
for line in 1 2; do for cam in 1 2 3; do
  a=$(sim_field $line $cam pan); sleep 0.05; b=$(sim_field $line $cam pan)
  [ "$a" != "$b" ] && moving=$((moving + 1))
done; done
check "six cameras move: $moving" [ "$moving" -eq 6 ]
kill -TERM "$daemon"
for _ in $(seq 100); do kill -0 "$daemon" 2>/dev/null || break; sleep 0.05; done
check "SIGTERM ends the daemon" bash -c "! kill -0 $daemon 2>/dev/null"
wait "$daemon"; status=$?; daemon=
check "  with status 0" [ "$status" -eq 0 ]
still=0
for line in 1 2; do for cam in 1 2 3; do
  a=$(sim_field $line $cam pan); sleep 0.1; b=$(sim_field $line $cam pan)
  [ "$a" != "$b" ] && still=$((still + 1)) && echo "  COM$line camera $cam still moves"
done; done
check "  every camera was stopped before it exited" [ "$still" -eq 0 ]
checks_summary
