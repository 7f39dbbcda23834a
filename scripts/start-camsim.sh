# Sourced by the demo scripts: starts qtr90x-camsim from build tree $build
# with the options given, on a link in a fresh work folder, and removes both
# when the calling script exits. Sets $work, $link and $sim; the simulator's
# control input is the fifo $work/control (kept open on descriptor 3).
# usage: start_camsim OPTION...
start_camsim() {
  work=$(mktemp -d)
  link="$work/camera"
  mkfifo "$work/control"
  # The simulator reads control commands from the fifo; keep a writer open.
  exec 3<>"$work/control"
  "$build/camsim/qtr90x-camsim" "$@" --link "$link" <"$work/control" >"$work/camsim.out" &
  sim=$!
  trap stop_camsim EXIT
  for _ in $(seq 100); do
    grep -q '^ready ' "$work/camsim.out" 2>/dev/null && break
    sleep 0.1
  done
  if ! grep -q '^ready ' "$work/camsim.out"; then
    echo "the simulated camera did not start" >&2
    exit 1
  fi
  echo "simulated camera: $(head -n 1 "$work/camsim.out")"
}

stop_camsim() {
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  exec 3>&-
  rm -rf "$work"
}
