#!/usr/bin/env bash
# Every endpoint of qzlinkd driven with curl against a simulated cascade of
# three cameras: moves with their dead man, presets, power, mode, the raw
# command, the state read, and the refusals (token, scope, Host, Origin,
# JSON, size, camera, busy, no answer).
# usage: qzlinkd_curl_test.sh QZLINKD CAMSIM
set -u
qzlinkd=$1
camsim=$2
. "$(dirname "$0")/daemon_support.sh"

start_sim 1 --fast --cameras 3 --move-delay 1500
start_daemon --line 1
wait_ready 3 || exit 1
status() { [ "$1" = "$2" ] || { echo "  status $1, wanted $2: $(cat "$work/body")"; return 1; }; }
body_has() { grep -q -- "$1" "$work/body" || { echo "  body: $(cat "$work/body")"; return 1; }; }

# Reads.
check "GET /api/v1/lines: COM1 open" status "$(api GET /api/v1/lines)" 200
check "  names its device" body_has "\"device\":\"$work/cam1\""
check "GET /api/v1/cameras: three, online" status "$(api GET /api/v1/cameras)" 200
check "  camera 3 with its model" body_has '"camera":3,.*"model":"QT-R90x"'
check "GET one camera" status "$(api GET /api/v1/cameras/1/2)" 200
check "GET /api/v1/openapi.json" status "$(api GET /api/v1/openapi.json)" 200
check "  lists the move route" body_has '/api/v1/cameras/{line}/{cam}/move'
check "GET / serves the page (token in the query)" status "$(curl -s -o "$work/body" -w '%{http_code}' "$base/?token=$token")" 200

# A move starts 60 31 30 and stops by itself after its timeout.
mark=$(trace_mark)
pan0=$(sim_field 1 2 pan)
check "POST move" status "$(api POST /api/v1/cameras/1/2/move '{"pan":0.6,"tilt":0,"zoom":0,"timeout_ms":400}')" 200
sleep 0.15
check "  60 31 30 went to camera 2" bash -c "sent_since() { tail -n +\$((\$1 + 1)) '$QZLINK_TRACE' | grep ' send ' | sed 's/.* send //'; }; sent_since $mark | grep -q '^FF 30 32 00 60 31 30 EF'"
check "  the camera pans" [ "$(sim_field 1 2 pan)" != "$pan0" ]
sleep 0.6
check "  the dead man stopped it: 60 30 30" bash -c "tail -n +$((mark + 1)) '$QZLINK_TRACE' | grep -q ' send FF 30 32 00 60 30 30 EF'"
pan1=$(sim_field 1 2 pan); sleep 0.2
check "  and it stands still" [ "$(sim_field 1 2 pan)" = "$pan1" ]
check "POST stop is always accepted" status "$(api POST /api/v1/cameras/1/2/stop '{}')" 200
check "a tilt and zoom move" status "$(api POST /api/v1/cameras/1/1/move '{"pan":-0.3,"tilt":0.5,"zoom":0.5,"timeout_ms":200}')" 200
sleep 0.4

# Presets: never stored -> 422; stored, the camera goes back there.
check "recall of a preset never stored: 422" status "$(api POST /api/v1/cameras/1/2/presets/4/recall '{}')" 422
check "store preset 4" status "$(api POST /api/v1/cameras/1/2/presets/4/store '{}')" 200
check "name preset 4" status "$(api PATCH /api/v1/cameras/1/2/presets/4 '{"name":"Stage left"}')" 200
api GET /api/v1/cameras/1/2 >/dev/null
check "  the name shows" body_has '"name":"Stage left"'
check "home" status "$(api POST /api/v1/cameras/1/2/home '{}')" 200
sleep 1.7
check "  the camera is home" [ "$(sim_field 1 2 pan)" = 0 ]
check "recall preset 4" status "$(api POST /api/v1/cameras/1/2/presets/4/recall '{}')" 200
check "  while it moves the camera is busy: 409" status "$(api POST /api/v1/cameras/1/2/home '{}')" 409
check "  with a problem body" body_has '"code":"camera_busy"'
sleep 1.7
check "  the camera is back at the preset" [ "$(sim_field 1 2 pan)" = "$pan1" ]

# Power, mode, the raw command, the state read.
check "mode local" status "$(api POST /api/v1/cameras/1/3/mode '{"local":true}')" 200
check "mode host" status "$(api POST /api/v1/cameras/1/3/mode '{"local":false}')" 200
check "power on" status "$(api POST /api/v1/cameras/1/3/power '{"on":true}')" 200
check "raw command (admin)" status "$(api POST /api/v1/cameras/1/1/command '{"hex":"FF 30 31 00 87 EF"}')" 200
check "  the answer comes back" body_has '"answer":"FE 30 31 30 30 51 54'
check "state read" status "$(api POST /api/v1/cameras/1/3/state/read '{}')" 200
check "  with what the camera told" body_has '"speeds":{"pan":400'

# Refusals.
check "no token: 401" status "$(curl -s -o "$work/body" -w '%{http_code}' "$base/api/v1/lines")" 401
check "a bad token: 401" status "$(curl -s -o "$work/body" -w '%{http_code}' -H 'Authorization: Bearer 0123' "$base/api/v1/lines")" 401
read_token=$("$qzlinkd" --print-token read)
check "a read token may read" status "$(curl -s -o "$work/body" -w '%{http_code}' -H "Authorization: Bearer $read_token" "$base/api/v1/cameras")" 200
check "  but not move: 403" status "$(curl -s -o "$work/body" -w '%{http_code}' -H "Authorization: Bearer $read_token" -d '{"pan":1}' "$base/api/v1/cameras/1/1/move")" 403
control_token=$("$qzlinkd" --print-token control)
check "a control token may not send raw commands: 403" status "$(curl -s -o "$work/body" -w '%{http_code}' -H "Authorization: Bearer $control_token" -d '{"hex":"FF 30 31 00 87 EF"}' "$base/api/v1/cameras/1/1/command")" 403
check "a foreign Host: 403" status "$(api GET /api/v1/lines '' -H 'Host: evil.example')" 403
check "a foreign Origin: 403" status "$(api POST /api/v1/cameras/1/1/stop '{}' -H 'Origin: http://evil.example')" 403
check "malformed JSON: 400" status "$(api POST /api/v1/cameras/1/1/move '{"pan":')" 400
check "an unknown camera: 404" status "$(api POST /api/v1/cameras/1/7/home '{}')" 404
check "an unknown line: 404" status "$(api GET /api/v1/cameras/4/1)" 404
head -c 40000 /dev/zero | tr '\0' ' ' >"$work/big"
check "an oversized body: 413" status "$(curl -s -o "$work/body" -w '%{http_code}' -H "Authorization: Bearer $token" -H 'Content-Type: application/json' --data-binary @"$work/big" "$base/api/v1/cameras/1/1/move")" 413
sim 1 "noanswer next"
start=$(date +%s%N)
code=$(api POST /api/v1/cameras/1/1/home '{}')
elapsed=$((($(date +%s%N) - start) / 1000000))
check "noanswer: 504" status "$code" 504
check "  within the answer bound (1 s, plus a margin): ${elapsed} ms" [ "$elapsed" -lt 3000 ]
check "the daemon logged the changes with the client's name" grep -q 'move' "$work/daemon.err"
checks_summary
