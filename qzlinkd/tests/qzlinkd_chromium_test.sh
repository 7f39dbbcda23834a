#!/usr/bin/env bash
# Headless Chromium opens the operator page of qzlinkd, holds the pad's
# right-hand button through the DevTools protocol and lets it go: the
# simulated camera pans ("60 3x 3x" on the line), then stops.
# usage: qzlinkd_chromium_test.sh QZLINKD CAMSIM [SCREENSHOT]
set -u
qzlinkd=$1
camsim=$2
screenshot=${3:-}
here=$(dirname "$0")
. "$here/daemon_support.sh"
chromium=$(command -v chromium || true)
if [ -z "$chromium" ]; then
  echo "chromium is not installed: skipped"
  exit 77
fi
if ! "$python" -c 'import websockets' 2>/dev/null; then
  echo "python3-websockets is not installed: skipped"
  exit 77
fi

browser=
client=
stop_browser() {
  [ -n "$client" ] && kill "$client" 2>/dev/null && wait "$client" 2>/dev/null
  # Chromium's helpers share its process group (setsid below).
  [ -n "$browser" ] && kill -- -"$browser" 2>/dev/null && wait "$browser" 2>/dev/null
  cleanup
}
trap stop_browser EXIT

start_sim 1 --fast --cameras 3
start_daemon --line 1
wait_ready 3 || exit 1

profile=$work/chromium
mkdir -p "$profile"
setsid "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" --remote-debugging-port=0 --window-size=1024,768 \
  about:blank >"$work/chromium.out" 2>&1 &
browser=$!

before=$(sim_field 1 1 pan)
mark=$(trace_mark)
"$python" "$here/cdp_client.py" "$profile/DevToolsActivePort" \
  "$base/?token=$token" "${screenshot:-$work/page.png}" 1.0 >"$work/cdp.out" 2>&1 &
client=$!
for _ in $(seq 400); do grep -q -e released -e FAILED "$work/cdp.out" && break; sleep 0.05; done
wait "$client"
status=$?
client=
cat "$work/cdp.out"
check "the page is driven through the DevTools protocol" [ "$status" -eq 0 ]
check "  the press pans camera 1 (60 3x 3x on the line)" \
  bash -c "tail -n +$((mark + 1)) '$QZLINK_TRACE' | grep ' send FF 30 31 00 60 3. 3. EF' | grep -qv '60 30 30'"
for _ in $(seq 40); do
  tail -n +"$((mark + 1))" "$QZLINK_TRACE" | grep -q ' send FF 30 31 00 60 30 30 EF' && break
  sleep 0.05
done
check "  the release stops it (60 30 30)" \
  bash -c "tail -n +$((mark + 1)) '$QZLINK_TRACE' | grep -q ' send FF 30 31 00 60 30 30 EF'"
after=$(sim_field 1 1 pan)
echo "pan before $before, after $after"
check "  the simulated camera's pan position changed" [ -n "$after" -a "$after" != "$before" ]
check "  a screenshot was taken" [ -s "${screenshot:-$work/page.png}" ]
checks_summary
