#!/usr/bin/env bash
# The Windows part of CI, self-contained: installs the cross compilers and
# Wine, builds both bitnesses (scripts/build-windows.sh) and the native
# simulator and qzcli, then under Wine, in a private prefix with a persistent
# wineserver:
#   - the export tables of QZLINK.dll and QZLINKE.DLL (objdump -p),
#   - the Google Test suites of both builds (ctest through Wine),
#   - qzcli.exe of both bitnesses against qtr90x-camsim, compared line by
#     line with the Linux qzcli for the same calls; baud rates, a closed
#     port, a missing device;
#   - the same through ser2net (rfc2217://, when installed), and a refused
#     connection;
#   - the benchmark bench/win32_answer_bench.cpp (figures, no check).
# Every COM port 1 to 9 is mapped to a path of this run before anything
# opens a port: Wine's default maps COM1 to the machine's real serial port.
# Where Wine differs from Windows the checks say so and skip:
#   - 14400 baud: Wine cannot set it on a Linux terminal;
#   - a second open of a held port succeeds under Wine (Windows refuses it);
#   - read time-outs and SetCommMask(0) completions: the library reads only
#     what is queued and never waits on either, so nothing depends on them.
# usage: scripts/run-windows-tests.sh
#   QZ_NATIVE_BUILD   native build tree for the simulator (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
bash "$root/scripts/install-windows-deps.sh"
bash "$root/scripts/build-windows.sh" -DQZ_WERROR=ON -- -j2
native=${QZ_NATIVE_BUILD:-$root/build}
# A native tree configured from another checkout is used as it stands (it
# cannot be reconfigured from this one); its two programs must be built.
if grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$native/CMakeCache.txt" 2>/dev/null ||
  [ ! -e "$native/CMakeCache.txt" ]; then
  bash "$root/scripts/build.sh" "$native" -- -j2 --target qtr90x-camsim qzcli
elif [ ! -x "$native/camsim/qtr90x-camsim" ] || [ ! -x "$native/qzcli/qzcli" ]; then
  echo "run-windows-tests.sh: $native is another checkout's tree without qtr90x-camsim and qzcli" >&2
  exit 1
fi
built=$(date +%s)
. "$root/testsupport/wine_bits.sh"

work=$(mktemp -d /tmp/qz-windows-tests.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=C.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
for n in 1 2 3 4 5 6 7 8 9; do unset "QZLINK_COM$n"; done
sims=()
cleanup() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

# ---- the export tables ----
expected=$work/expected-exports
sed -n 's/^QZ_[A-Z]*_EXPORT(\([A-Za-z0-9]*\), *\("\([^"]*\)"\)\{0,1\}.*/\1 \3/p' \
  "$root/camlink/qzlink_exports.inc" | awk '{print ($2 != "" ? $2 : $1)}' | sort >"$expected"
check "the export list has 113 names" [ "$(wc -l <"$expected")" -eq 113 ]
for bits in 32 64; do
  case $bits in 32) objdump=i686-w64-mingw32-objdump ;; 64) objdump=x86_64-w64-mingw32-objdump ;; esac
  for dll in QZLINK.dll QZLINKE.DLL; do
    "$objdump" -p "$root/build-win$bits/bin/$dll" |
      awk '/\[Ordinal\/Name Pointer\] Table/{t=1; next} t && /^\t\[/{print $NF; next} t{t=0}' |
      sort >"$work/exports-$bits-$dll"
    check "$bits-bit $dll exports exactly the designed names" \
      diff -u "$expected" "$work/exports-$bits-$dll"
    for name in _QzGetStatus@0 _QzGetLastError@4 _QzGet2ByteStatus@4; do
      check "$bits-bit $dll has $name" grep -qx "$name" "$work/exports-$bits-$dll"
    done
    # WS2_32 is Winsock, a system DLL of every Windows: the library reaches
    # rfc2217:// device servers through it.
    check "$bits-bit $dll imports system DLLs only" bash -c \
      "'$objdump' -p '$root/build-win$bits/bin/$dll' | grep 'DLL Name' |
       grep -viqE 'KERNEL32|USER32|ADVAPI32|msvcrt|WS2_32' && exit 1 || exit 0"
  done
done

# ---- the pty modem shim (Linux ptys lack modem lines; Wine needs them) ----
shim=$work/shim
mkdir -p "$shim/lib/i386-linux-gnu" "$shim/lib/x86_64-linux-gnu"
gcc -m32 -O2 -fPIC -shared -nostdlib -ffreestanding \
  -o "$shim/lib/i386-linux-gnu/libptymodem.so" "$root/testsupport/wine/ptymodem.c"
gcc -O2 -fPIC -shared -nostdlib -ffreestanding \
  -o "$shim/lib/x86_64-linux-gnu/libptymodem.so" "$root/testsupport/wine/ptymodem.c"

# ---- the prefix, with every COM port mapped before anything opens one ----
# COM1: the simulator; COM9: a missing device; the rest up to COM32 (so that
# Wine gives no low number to a real port): paths of this run
# that do not exist.
wine wineboot --init >/dev/null 2>&1 </dev/null
for n in $(seq 32); do
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$work/cam$n" /f \
    >/dev/null 2>&1 </dev/null
done
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p >/dev/null 2>&1 </dev/null
wine cmd /c exit >/dev/null 2>&1 </dev/null
for n in $(seq 32); do
  target=$(readlink "$WINEPREFIX/dosdevices/com$n" || true)
  if [ "$target" != "$work/cam$n" ]; then
    echo "run-windows-tests.sh: COM$n maps to '$target', not to this run's path: stopping" >&2
    exit 1
  fi
done
echo "ok   COM1 to COM32 map to this run's paths"
export LD_PRELOAD="$shim/\$LIB/libptymodem.so"

start_sim() {  # start_sim LINK ARGS...: starts the simulator, waits until ready
  local link=$1; shift
  "$native/camsim/qtr90x-camsim" --link "$link" "$@" >"$link.out" 2>&1 </dev/null &
  sims+=($!)
  for _ in $(seq 100); do grep -q '^ready ' "$link.out" 2>/dev/null && return 0; sleep 0.05; done
  echo "run-windows-tests.sh: the simulator did not start" >&2
  return 1
}
stop_sims() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  sims=()
}

# ---- the Google Test suites of both builds, through Wine ----
start_sim "$work/cam1" --fast
for bits in $wine_bits; do
  QZ_TEST_SIM_PORT=1 QZ_TEST_MISSING_PORT=9 ctest --test-dir "$root/build-win$bits" \
    --output-on-failure --timeout 120 -j2 >"$work/ctest-$bits.out" 2>&1 && status=0 || status=$?
  check "$bits-bit Google Test suites pass under Wine" [ "$status" -eq 0 ]
  [ "$status" -eq 0 ] || tail -40 "$work/ctest-$bits.out"
  grep -E 'tests passed|tests failed' "$work/ctest-$bits.out" || true
done
stop_sims

# ---- qzcli.exe against the simulator, compared with the Linux qzcli ----
calls=(QzSetNotify 1 1 -- QzSetCascade 0 1 -- QzGetUnitName 2 -- QzSetZooming 1 2 --
  QzSetBackLight 1 1 -- QzSetZooming 1 9 -- QzSetMotorSpeed 1 0 900 -- QzSetZooming 1 0 --
  QzGetUnitName 1)
# same_traffic A B: the same calls, results and frames sent in the same order,
# and the same frames received with the same kinds and numbers (a
# notification may arrive before or after the next command's answer).
same_traffic() {
  diff -u <(grep -E '^(open|call|send) ' "$1") <(grep -E '^(open|call|send) ' "$2") &&
    diff -u <(grep '^recv ' "$1" | sort) <(grep '^recv ' "$2" | sort)
}
# run_client NAME COMMAND...: a fresh simulator, then the client; output in $work/NAME
run_client() {
  local name=$1; shift
  start_sim "$work/cam1" --fast --cameras 2
  "$@" >"$work/$name" 2>"$work/$name.err" || true
  stop_sims
  unix_lines "$work/$name" "$work/$name.err"
}
# unix_lines FILE...: a Windows program's text output with LF line ends.
# (Wine output goes to files, never to pipes: Wine's service processes
# inherit the descriptors and would hold a pipe open.)
unix_lines() {
  sed -i 's/\r$//' "$@"
}
for baud in 9600 19200 38400; do
  run_client "linux-$baud" env QZLINK_COM1="$work/cam1" "$native/qzcli/qzcli" --port 1 \
    --baud "$baud" --seconds 0.2 "${calls[@]}"
  check "Linux qzcli gets answers and a notification at $baud" \
    grep -q '^recv notify #[0-9]* FA 30 31 00 A5 31 EF$' "$work/linux-$baud"
  for bits in $wine_bits; do
    run_client "win$bits-$baud" timeout 60 wine "$root/build-win$bits/bin/qzcli.exe" --port 1 \
      --baud "$baud" --seconds 0.2 "${calls[@]}"
    check "$bits-bit qzcli.exe at $baud gives the Linux frames, answers and notifications" \
      same_traffic "$work/linux-$baud" "$work/win$bits-$baud"
  done
done
echo "skip 14400 baud under Wine: Wine cannot set it on a Linux terminal (Windows can)"
for bits in $wine_bits; do
  exe=$root/build-win$bits/bin/qzcli.exe
  # A closed port: a command with no session fails with the invalid-handle code.
  timeout 30 wine "$exe" QzSetZooming 1 2 >"$work/closed-$bits" 2>&1 || true
  unix_lines "$work/closed-$bits"
  check "$bits-bit: a command on a closed port fails with ERROR_INVALID_HANDLE" \
    grep -q '^call QzSetZooming(1, 2) -> 0 (error -1 ERR_SYSTEM, system code 6' "$work/closed-$bits"
  # A missing device: COM9's target does not exist.
  timeout 30 wine "$exe" --port 9 QzGetUnitName 1 >/dev/null 2>"$work/missing-$bits" &&
    status=0 || status=$?
  unix_lines "$work/missing-$bits"
  check "$bits-bit: a missing device fails to open (status 1)" [ "$status" -eq 1 ]
  check "$bits-bit: and says why" grep -q 'cannot open COM9: error -1 ERR_SYSTEM' "$work/missing-$bits"
  # A bad baud rate.
  timeout 30 wine "$exe" --port 1 --baud 4800 QzGetUnitName 1 >/dev/null 2>"$work/baud-$bits" || true
  unix_lines "$work/baud-$bits"
  check "$bits-bit: 4800 baud is refused with ERR_BAUD_RATE" \
    grep -q 'cannot open COM1: error -2' "$work/baud-$bits"
  # The port mapping in the registry: COM3 opens the port COM1 names.
  start_sim "$work/cam1" --fast
  wine "$exe" --set-port 3 COM1 >/dev/null 2>&1 || true
  timeout 30 wine "$exe" --port 3 --seconds 0 QzSetCascade 0 1 >"$work/mapped-$bits" 2>&1 || true
  wine "$exe" --clear-port 3 >/dev/null 2>&1 || true
  stop_sims
  unix_lines "$work/mapped-$bits"
  check "$bits-bit: COM3 mapped to COM1 in the registry reaches the camera" \
    grep -q '^recv ack #1 FE 30 31 30 30 EF$' "$work/mapped-$bits"
done
echo "skip a second open of a held port under Wine: Wine lets it succeed (Windows refuses it)"

# ---- qzcli.exe through ser2net (rfc2217://), compared with the Linux qzcli ----
# ser2net in front of a fresh simulator, on a free loopback port; COM5 is
# mapped to its address in the registry with qzcli.exe --set-port.
free_port() {  # a loopback port that nothing listens on
  local p
  for p in $(shuf -i 20000-60000 -n 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return 0; }
  done
  return 1
}
start_ser2net() {  # start_ser2net PORT: the simulator and ser2net, until it takes connections
  start_sim "$work/s2n-cam" --fast --cameras 2
  printf '%s\n' 'connection: &camera' "  accepter: telnet(rfc2217),tcp,127.0.0.1,$1" \
    "  connector: serialdev,$work/s2n-cam,9600n81,local" '  options:' \
    '    kickolduser: true' >"$work/ser2net.yaml"
  env -u LD_PRELOAD "$ser2net" -n -u -c "$work/ser2net.yaml" -P "$work/ser2net.pid" \
    >"$work/ser2net.out" 2>&1 </dev/null &
  sims+=($!)
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && { sleep 0.1; return 0; }
    sleep 0.05
  done
  echo "run-windows-tests.sh: ser2net did not start" >&2
  return 1
}
ser2net=$(command -v ser2net || ls /usr/sbin/ser2net 2>/dev/null || true)
if [ -z "$ser2net" ]; then
  echo "skip qzcli.exe through ser2net: ser2net is not installed (scripts/install-deps.sh)"
else
  port=$(free_port)
  address="rfc2217://127.0.0.1:$port?modem=none"
  start_ser2net "$port"
  QZLINK_COM5=$address "$native/qzcli/qzcli" --port 5 --seconds 0.2 "${calls[@]}" \
    >"$work/linux-rfc2217" 2>&1 || true
  stop_sims
  check "Linux qzcli gets answers and a notification through ser2net" \
    grep -q '^recv notify #[0-9]* FA 30 31 00 A5 31 EF$' "$work/linux-rfc2217"
  for bits in $wine_bits; do
    exe=$root/build-win$bits/bin/qzcli.exe
    wine "$exe" --set-port 5 "$address" >/dev/null 2>&1 || true
    start_ser2net "$port"
    timeout 60 wine "$exe" --port 5 --seconds 0.2 "${calls[@]}" >"$work/win$bits-rfc2217" \
      2>"$work/win$bits-rfc2217.err" || true
    stop_sims
    unix_lines "$work/win$bits-rfc2217" "$work/win$bits-rfc2217.err"
    check "$bits-bit qzcli.exe through ser2net gives the Linux frames, answers and notifications" \
      same_traffic "$work/linux-rfc2217" "$work/win$bits-rfc2217"
    # No server on the port: the refusal ends the open, long before the
    # address's time-out of 60 s (and the 30 s limit here).
    wine "$exe" --set-port 5 "rfc2217://127.0.0.1:$port?timeout=60000" >/dev/null 2>&1 || true
    timeout 30 wine "$exe" --port 5 QzGetUnitName 1 >/dev/null 2>"$work/refused-$bits" &&
      status=0 || status=$?
    wine "$exe" --clear-port 5 >/dev/null 2>&1 || true
    unix_lines "$work/refused-$bits"
    check "$bits-bit: a refused rfc2217:// connection fails to open (status 1)" [ "$status" -eq 1 ]
    check "$bits-bit: and says why (WSAECONNREFUSED)" \
      grep -q 'cannot open COM5: error -1 ERR_SYSTEM, system code 10061' "$work/refused-$bits"
  done
fi

# ---- the benchmark: figures only, never a check ----
for bits in $wine_bits; do
  start_sim "$work/cam1" --fast
  timeout 120 wine "$root/build-win$bits/bin/win32_answer_bench.exe" 1 300 \
    >"$work/bench-$bits" 2>&1 || true
  stop_sims
  unix_lines "$work/bench-$bits"
  echo "benchmark, $bits-bit:"
  sed 's/^/  /' "$work/bench-$bits"
done

finished=$(date +%s)
echo "windows tests: build $((built - started)) s, tests $((finished - built)) s, total $((finished - started)) s"
if [ "$failures" -ne 0 ]; then
  echo "windows tests: $failures check(s) failed" >&2
  exit 1
fi
echo "windows tests: all checks passed"
