# Sourced by the shell test scripts that talk to the simulated camera. Makes
# the scratch folder $work; at exit the simulator is stopped and the folder
# removed.
# start_camsim PROGRAM ARGS...: starts it on the link $work/cam, its control
# input a fifo held open on descriptor 3 (write commands with >&3), its output
# in $work/sim.out; sets $sim to its process id and returns once it is ready.
work=$(mktemp -d)
sim=

stop_camsim() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  exec 3>&- 2>/dev/null
  rm -rf "$work"
}
trap stop_camsim EXIT

start_camsim() {
  mkfifo "$work/control"
  exec 3<>"$work/control"
  "$@" --link "$work/cam" <"$work/control" >"$work/sim.out" &
  sim=$!
  for _ in $(seq 100); do grep -q '^ready ' "$work/sim.out" 2>/dev/null && break; sleep 0.05; done
}
