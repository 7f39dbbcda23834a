# Sourced by qzlinkd's shell tests: simulated cameras on fresh links, the
# daemon on a free loopback port with its own settings folder, and helpers
# to read what went on the line. Everything goes at exit.
# usage (after sourcing): start_sim N ARGS... (the simulator of COM<N>),
# start_daemon ARGS..., wait_ready CAMERAS, api METHOD PATH [BODY [HEADERS...]]
. "$(dirname "${BASH_SOURCE[0]}")/../../testsupport/checks.sh"
# Debian's Python, where its python3-websockets is, before any other on PATH.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config
export QZLINK_REGISTRY=$work/registry.reg
export QZLINK_TRACE=$work/trace
declare -A sim_pid sim_fd
daemon=
port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
base=http://127.0.0.1:$port

cleanup() {
  [ -n "$daemon" ] && kill "$daemon" 2>/dev/null && wait "$daemon" 2>/dev/null
  for n in "${!sim_pid[@]}"; do kill "${sim_pid[$n]}" 2>/dev/null; wait "${sim_pid[$n]}" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

start_sim() {  # start_sim N ARGS...: COM<N> is its link
  local n=$1; shift
  mkfifo "$work/control$n"
  local fd
  exec {fd}<>"$work/control$n"
  sim_fd[$n]=$fd
  "$camsim" "$@" --link "$work/cam$n" <"$work/control$n" >"$work/sim$n.out" 2>&1 &
  sim_pid[$n]=$!
  export "QZLINK_COM$n=$work/cam$n"
  for _ in $(seq 100); do grep -q '^ready ' "$work/sim$n.out" 2>/dev/null && return; sleep 0.05; done
  echo "simulator $n did not start" >&2
  exit 1
}

sim() {  # sim N COMMAND...: one control line
  echo "$2" >&"${sim_fd[$1]}"
}

sim_field() {  # sim_field N CAM FIELD: the camera's field in "state"
  local before
  before=$(wc -l <"$work/sim$1.out")
  sim "$1" "state $2"
  for _ in $(seq 40); do
    [ "$(wc -l <"$work/sim$1.out")" -gt $((before + 1)) ] && break
    sleep 0.025
  done
  tail -n +"$((before + 1))" "$work/sim$1.out" | grep "^camera $2 " | tail -n 1 |
    tr ' ' '\n' | sed -n "s/^$3=//p"
}

start_daemon() {
  "$qzlinkd" --listen "127.0.0.1:$port" "$@" >>"$work/daemon.out" 2>>"$work/daemon.err" &
  daemon=$!
}

wait_ready() {  # wait_ready CAMERAS: until GET /api/v1/lines answers and that many cameras show
  token=$("$qzlinkd" --print-token)
  for _ in $(seq 200); do
    local count
    count=$(curl -s -H "Authorization: Bearer $token" "$base/api/v1/cameras" 2>/dev/null |
      "$python" -c 'import json,sys; print(sum(1 for c in json.load(sys.stdin) if c["link"] == "online"))' 2>/dev/null)
    [ "${count:-0}" -ge "$1" ] && return 0
    sleep 0.05
  done
  echo "qzlinkd was not ready:" >&2
  cat "$work/daemon.err" >&2
  return 1
}

api() {  # api METHOD PATH [BODY [CURL ARGS...]]: prints the status, body in $work/body
  local method=$1 path=$2 body=${3:-} ; shift 3 2>/dev/null || shift $#
  local args=(-s -o "$work/body" -w '%{http_code}' -X "$method" -H "Authorization: Bearer $token")
  [ -n "$body" ] && args+=(-H 'Content-Type: application/json' --data-binary "$body")
  curl "${args[@]}" "$@" "$base$path"
}

trace_mark() { wc -l <"$QZLINK_TRACE"; }
sent_since() {  # sent_since MARK: the frames the library sent since, "FF 30 31 00 60 31 30 EF"
  tail -n +"$(($1 + 1))" "$QZLINK_TRACE" | grep ' send ' | sed 's/.* send //'
}
