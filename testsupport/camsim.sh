# Sourced by the shell test scripts that talk to the simulated camera.
# start_camsim PROGRAM ARGS...: starts it on the link $work/cam, its control
# input a fifo held open on descriptor 3 (write commands with >&3), its output
# in $work/sim.out; sets $sim to its process id and returns once it is ready.
start_camsim() {
  mkfifo "$work/control"
  exec 3<>"$work/control"
  "$@" --link "$work/cam" <"$work/control" >"$work/sim.out" &
  sim=$!
  for _ in $(seq 100); do grep -q '^ready ' "$work/sim.out" 2>/dev/null && break; sleep 0.05; done
}
