#!/usr/bin/env bash
# Tests QzlinkAXCtrlE.ocx for Windows under Wine, 32-bit and 64-bit side by
# side: registered with regsvr32, created by its ProgID from VBScript and
# JScript (cscript), every method through the type library against a
# recording stand-in QZLINKE.DLL and, with the real library, its frame on the
# line to qtr90x-camsim compared with the Linux build's; the events through a
# compiled host with a sink; then the zip and the installer (silent install
# and uninstall). Installs what is missing and builds first.
#
# Wine runs in a private prefix (QZ_WINE_PREFIX, default build-wine-prefix/)
# whose COM1 to COM99 all point into build-wine-ports/ before anything opens
# a port: Wine would otherwise map COM1 to the machine's real serial port.
# Wine's cscript exits 0 even when a script fails, so every script reports
# through its output and the checks read that.
# usage: scripts/run-windows-control-tests.sh
#   QZ_WINDOWS_BITS="32 64"   which bitnesses (default both)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
bits_list=${QZ_WINDOWS_BITS:-32 64}
native=${QZ_BUILD_DIR:-$root/build}

bash "$root/scripts/install-windows-deps.sh" || exit 1
command -v zip >/dev/null || { echo "zip is missing (scripts/install-windows-deps.sh)" >&2; exit 1; }
bash "$root/scripts/build.sh" "$native" -- -j2 --target qtr90x-camsim qzcli >/dev/null || exit 1
QZ_WINDOWS_BITS="$bits_list" bash "$root/scripts/build-windows.sh" -DQZ_WERROR=ON -- -j2 >/dev/null || exit 1

. "$root/testsupport/checks.sh"
. "$root/testsupport/wine_bits.sh"
run_bits=
for b in $bits_list; do [[ " $wine_bits " == *" $b "* ]] && run_bits+="$b "; done
. "$root/testsupport/camsim.sh"   # $work, start_camsim; stops it at exit

export WINEPREFIX=${QZ_WINE_PREFIX:-$root/build-wine-prefix}
export WINEDEBUG=-all LANG=C.UTF-8
unset DISPLAY
wine64=/usr/lib/wine/wine64
ports=$root/build-wine-ports
tests=$root/axcontrol/win32/tests

finish() {
  wineserver -k 2>/dev/null
  # QZ_TEST_KEEP=DIR keeps the scratch folder's files there, for a look.
  [ -n "${QZ_TEST_KEEP:-}" ] && mkdir -p "$QZ_TEST_KEEP" && cp -r "$work/." "$QZ_TEST_KEEP/"
  stop_camsim
}
trap finish EXIT

# ---- the prefix and its ports ----
mkdir -p "$ports"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot --init >/dev/null 2>&1 </dev/null
  wineserver -w
fi
reg="$work/ports.reg"
{
  echo 'REGEDIT4'
  echo '[HKEY_LOCAL_MACHINE\Software\Wine\Ports]'
  for n in $(seq 99); do echo "\"COM$n\"=\"$ports/com$n\""; done
  echo '[HKEY_CURRENT_USER\Software\Wine\Drivers]'
  echo '"Graphics"="null"'   # the hidden top-level window without a display
} >"$reg"
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 </dev/null
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
wineserver -p >/dev/null 2>&1 </dev/null
wine cmd /c exit >/dev/null 2>&1 </dev/null
mapped_ok=1
for n in $(seq 99); do
  [ "$(readlink "$WINEPREFIX/dosdevices/com$n")" = "$ports/com$n" ] || mapped_ok=0
done
check "COM1 to COM99 of the prefix point into build-wine-ports/" [ $mapped_ok -eq 1 ]
if [ $mapped_ok -eq 0 ]; then
  ls -l "$WINEPREFIX/dosdevices" >&2
  echo "refusing to run: a COM port of the prefix may be a real serial port" >&2
  exit 1
fi
rm -f "$ports"/com*   # every port missing until a test points it somewhere

host() {  # host BITS PROGRAM ARGS...: a Wine builtin of that bitness
  local b=$1; shift
  if [ "$b" = 64 ]; then "$wine64" "$@"; else wine "$@"; fi
}
script() {  # script BITS FILE ARGS...: cscript's output, without CRs
  local b=$1; shift
  host "$b" cscript //nologo "$(winepath -w "$1")" "${@:2}" 2>&1 </dev/null | tr -d '\r'
}
passed_all() {  # passed_all FILE: a "done, 0 failed" line and no FAILED line
  grep -q '^done, 0 failed$' "$1" && ! grep -q '^FAILED' "$1"
}

# A VBScript that calls every camera method once, written from the method list.
# mode fake: argument k is k; mode line: values the library accepts.
every_method_vbs() {  # every_method_vbs MODE PORT
  local mode=$1 port=$2 line n name params args k p v
  cat <<VBS
Option Explicit
Dim cam, r, i, n, text
Set cam = CreateObject("QzlinkAXCtrlE.QzlinkCtrl")
Function LastCmd()
  n = cam.GetLastCmdStr()
  text = ""
  For i = 0 To n - 1
    text = text & " " & Right("0" & Hex(cam.GetPicLastCmd(i)), 2)
  Next
  LastCmd = Mid(text, 2)
End Function
VBS
  [ "$mode" = line ] && echo "WScript.Echo \"open \" & cam.CommOpen($port, 9600, 8, 0, 0)"
  echo "On Error Resume Next"
  while IFS= read -r line; do
    [[ $line =~ ^QZ_CAMERA_METHOD_([1-4])\(([A-Za-z0-9]+),\ ([A-Za-z0-9]+),\ (.*)\)$ ]] || continue
    name=${BASH_REMATCH[2]}
    IFS=', ' read -r -a params <<<"${BASH_REMATCH[4]}"
    args=()
    k=1
    for p in "${params[@]}"; do
      if [ "$mode" = fake ]; then v=$k; else
        case $p in
          lUnit) v=1 ;; lFocusPos) v=4096 ;; lPos) v=64 ;; lSpeed) v=3 ;; lGain) v=16 ;;
          lIris) v=4 ;; lAEVal) v=32 ;; lAngle1 | lAngle2) v=0 ;; lMemory) v=1 ;;
          lx | ly) v=1 ;; lCharacter) v=65 ;; lYear) v=24 ;; lMoon) v=5 ;; lDay) v=17 ;;
          lHour) v=10 ;; lMinutes) v=20 ;; lSecond) v=30 ;; lDome) v=1 ;;
          lMode) [ "$name" = SetCmdMode ] && v=0 || v=1 ;;   # stay in host mode
          *) v=1 ;;
        esac
      fi
      args+=("$v")
      k=$((k + 1))
    done
    local joined
    joined=$(IFS=,; echo "${args[*]}")
    echo "Err.Clear : r = \"-\" : r = cam.$name(${joined//,/, })"
    echo "WScript.Echo \"call $name($joined) \" & r & \" \" & Err.Number & \" \" & LastCmd()"
  done <"$root/axcontrol/camera_methods.inc"
  if [ "$mode" = line ]; then
    # Failures of the real library: ERRORCODE and the modem status come
    # through its decorated _QzGetLastError@4 and _QzGetStatus@0.
    echo "Err.Clear : r = cam.CommOpen($port, 9600, 8, 0, 0)"
    echo "WScript.Echo \"second open \" & r & \" \" & Err.Number & \" \" & cam.ERRORCODE"
    echo "Err.Clear : r = cam.GetCommModemStatus()"
    echo "WScript.Echo \"modem status \" & Err.Number & \" \" & r"
  fi
  echo "On Error GoTo 0"
  [ "$mode" = line ] && echo "WScript.Echo \"close \" & cam.CommClose()" &&
    echo "Dim detail : r = cam.CommOpen(9, 9600, 8, 0, 0)" &&
    echo "WScript.Echo \"missing port \" & r & \" \" & cam.ERRORCODE & \" \" & cam.GetLastError(detail) & \" \" & detail"
  echo "cam.Terminate"
  echo "WScript.Echo \"done, 0 failed\""
}

# The library export each method calls and its parameter count.
declare -A export_of arity_of
while IFS= read -r line; do
  [[ $line =~ ^QZ_CAMERA_METHOD_([1-4])\(([A-Za-z0-9]+),\ ([A-Za-z0-9]+), ]] || continue
  export_of[${BASH_REMATCH[2]}]=${BASH_REMATCH[3]}
  arity_of[${BASH_REMATCH[2]}]=${BASH_REMATCH[1]}
done <"$root/axcontrol/camera_methods.inc"
check "the method list has 93 camera methods" [ ${#export_of[@]} -eq 93 ]

clsid='{825644D5-CB9F-413F-AC85-288943297CC9}'
every_method_vbs fake 0 >"$work/every_fake.vbs"

# ---- register both bitnesses side by side ----
for b in $run_bits; do
  dir=$work/ocx$b
  mkdir -p "$dir"
  cp "$root/build-win$b/axcontrol/win32/QzlinkAXCtrlE.ocx" "$dir/"
  # The version resource's marker, in UTF-16, tells hosts the file registers
  # itself.
  check "$b-bit: the file is marked OLESelfRegister" \
    bash -c "iconv -f UTF-16LE -t ASCII//TRANSLIT -c '$dir/QzlinkAXCtrlE.ocx' | grep -aq OLESelfRegister"
  host "$b" regsvr32 "$(winepath -w "$dir/QzlinkAXCtrlE.ocx")" >"$work/reg$b.out" 2>&1 </dev/null
  check "$b-bit: regsvr32 registers the control" grep -q 'Successfully registered' "$work/reg$b.out"
done
for b in $run_bits; do
  wine reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve "/reg:$b" 2>/dev/null </dev/null |
    tr -d '\r' >"$work/server$b.out"
  check "$b-bit: the class's server is the $b-bit file" grep -qi "ocx$b\\\\QzlinkAXCtrlE.ocx" \
    "$work/server$b.out"
done

for b in $run_bits; do
  dir=$work/ocx$b
  # ---- no library anywhere: 53 ----
  script "$b" "$tests/no_library.vbs" >"$work/nolib$b.out"
  check "$b-bit: without QZLINKE.DLL a call fails with 53" \
    grep -qx 'error 53: File not found: QZLINKE.DLL' "$work/nolib$b.out"

  # ---- the stand-in library beside the control ----
  cp "$root/build-win$b/axcontrol/win32/tests/fake/QZLINKE.DLL" "$dir/"
  export QZ_FAKE_QZLINKE_LOG="$work/fake$b.log"
  rm -f "$QZ_FAKE_QZLINKE_LOG"
  script "$b" "$tests/control_fake.vbs" >"$work/vbs$b.out"
  check "$b-bit: VBScript checks" passed_all "$work/vbs$b.out"
  grep '^FAILED' "$work/vbs$b.out"
  check "$b-bit: GetPicLastCmd(128) and (-1) do not call the library" \
    bash -c "grep -q '^QzPicLastCmdVB(127)' '$QZ_FAKE_QZLINKE_LOG' && \
             ! grep -qE '^QzPicLastCmdVB\((128|-1)\)' '$QZ_FAKE_QZLINKE_LOG'"
  check "$b-bit: after Terminate CommOpen calls nothing" \
    [ "$(grep -c '^QzOpen' "$QZ_FAKE_QZLINKE_LOG")" -eq 3 ]

  script "$b" "$tests/control.js" 99 >"$work/js$b.out"
  check "$b-bit: JScript checks" passed_all "$work/js$b.out"
  grep '^FAILED' "$work/js$b.out"

  rm -f "$QZ_FAKE_QZLINKE_LOG"
  script "$b" "$work/every_fake.vbs" >"$work/every$b.out"
  bad=0
  for name in "${!export_of[@]}"; do
    n=${arity_of[$name]}
    args=$(seq -s, 1 "$n")
    if [ "$name" = GetOperateStatus4 ]; then
      grep -qx "call $name($args) - 453 .*" "$work/every$b.out" || { echo "  $name"; bad=1; }
    elif ! grep -qx "call $name($args) 1 0 FF 30 31 00 A2 32 EF" "$work/every$b.out" ||
         ! grep -qx "${export_of[$name]}($args) -> 1" "$QZ_FAKE_QZLINKE_LOG"; then
      echo "  $name: $(grep "^call $name(" "$work/every$b.out")"; bad=1
    fi
  done
  check "$b-bit: every camera method calls its export with its arguments, in order" [ $bad -eq 0 ]
  check "$b-bit: one library call per method" \
    [ "$(grep -cvE '^(QzGetLastCmdstrVB|QzPicLastCmdVB)' "$QZ_FAKE_QZLINKE_LOG")" -eq 92 ]

  # Events and the container side from a compiled host, on COM3 (the
  # stand-in opens nothing).
  wine "$root/build-win$b/axcontrol/win32/tests/control_client.exe" 3 >"$work/client$b.out" 2>&1 </dev/null
  check "$b-bit: the compiled host's checks (events through a sink)" [ $? -eq 0 ]
  grep '^FAILED' "$work/client$b.out"
  unset QZ_FAKE_QZLINKE_LOG
done

# ---- the real library against the simulator ----
real_found=0
for b in $run_bits; do
  real=$(find "$root/build-win$b" -path "$root/build-win$b/axcontrol" -prune -o -iname qzlinke.dll -print | head -n 1)
  [ -n "$real" ] && real_found=1
done
shim=$root/testsupport/wine/ptymodem.c
if [ $real_found -eq 1 ] && [ -f "$shim" ]; then
  # Pseudo-terminals have no modem lines; the shim gives them (CTS for the
  # open, and a WaitCommEvent that waits).
  for arch in i386-linux-gnu:-m32 x86_64-linux-gnu:; do
    mkdir -p "$work/shim/lib/${arch%%:*}"
    gcc ${arch#*:} -O2 -fPIC -shared -nostdlib -ffreestanding \
      -o "$work/shim/lib/${arch%%:*}/libptymodem.so" "$shim"
  done
  start_camsim "$native/camsim/qtr90x-camsim" --fast
  ln -sfn "$work/cam" "$ports/com1"
  # The Linux build's frames for the same calls.
  every_method_vbs line 1 >"$work/every_line.vbs"
  "$native/qzcli/qzcli" --list >"$work/linux.exports"
  cli=()
  while IFS= read -r l; do
    [[ $l =~ ^Err.Clear\ :\ r\ =\ \"-\"\ :\ r\ =\ cam\.([A-Za-z0-9]+)\((.*)\)$ ]] || continue
    e=${export_of[${BASH_REMATCH[1]}]}
    grep -q "^$e " "$work/linux.exports" || continue
    cli+=(-- "$e" ${BASH_REMATCH[2]//,/})
  done <"$work/every_line.vbs"
  QZLINK_COM1="$work/cam" "$native/qzcli/qzcli" --port 1 --seconds 0 --wait-ms 500 "${cli[@]:1}" \
    >"$work/linux.out" 2>&1
  awk '/^call /{sub(/\(.*/, "", $2); name=$2} /^send /{sub(/^send /, ""); print name " " $0}' \
    "$work/linux.out" >"$work/linux.frames"
  for b in $run_bits; do
    real=$(find "$root/build-win$b" -path "$root/build-win$b/axcontrol" -prune -o -iname qzlinke.dll -print | head -n 1)
    [ -n "$real" ] || continue
    cp "$real" "$work/ocx$b/QZLINKE.DLL"
    echo "state" >&3; sleep 0.2
    before=$(grep -o 'commands=[0-9]*' "$work/sim.out" | tail -n 1 | cut -d= -f2)
    LD_PRELOAD="$work/shim/\$LIB/libptymodem.so" script "$b" "$work/every_line.vbs" >"$work/line$b.out"
    check "$b-bit: CommOpen(1) on the simulator" grep -qx 'open 1' "$work/line$b.out"
    sent=0 bad=0
    while read -r _ call r err frame; do
      name=${call%%(*}
      e=${export_of[$name]}
      if [ "$err" = 0 ] && [ "$r" = 1 ]; then
        sent=$((sent + 1))
        grep -qx "$e $frame" "$work/linux.frames" || { echo "  $name: $frame"; bad=1; }
      elif ! { [ "$err" = 453 ] && ! grep -q "^$e " "$work/linux.frames"; }; then
        echo "  $name: result '$r', error $err"; bad=1
      fi
    done < <(grep '^call ' "$work/line$b.out")
    check "$b-bit: every method's frame as the Linux build sends it ($sent sent)" \
      [ $bad -eq 0 -a $sent -gt 60 ]
    after=$before
    for _ in $(seq 50); do
      echo "state" >&3; sleep 0.1
      after=$(grep -o 'commands=[0-9]*' "$work/sim.out" | tail -n 1 | cut -d= -f2)
      [ "$after" -ge $((before + sent)) ] && break
    done
    check "$b-bit: the simulator received them all ($((after - before)) of $sent)" \
      [ "$after" -eq $((before + sent)) ]
    check "$b-bit: CommOpen while open: 0, ERRORCODE ERR_PORT_BUSY (-3)" \
      grep -qx 'second open 0 0 -3' "$work/line$b.out"
    check "$b-bit: GetCommModemStatus answers" grep -qE '^modem status 0 [0-9]+$' "$work/line$b.out"
    check "$b-bit: CommClose closes" grep -qx 'close 1' "$work/line$b.out"
    check "$b-bit: a port with no device: 0, ERRORCODE ERR_SYSTEM with the system's code" \
      grep -qE '^missing port 0 -1 -1 [1-9][0-9]*$' "$work/line$b.out"
    LD_PRELOAD="$work/shim/\$LIB/libptymodem.so" \
      wine "$root/build-win$b/axcontrol/win32/tests/control_client.exe" 1 >"$work/rclient$b.out" 2>&1 </dev/null
    check "$b-bit: events from the simulator through a compiled sink" [ $? -eq 0 ]
    grep '^FAILED' "$work/rclient$b.out"
  done
else
  echo "skipped: the real QZLINKE.DLL or the modem shim is not built; the stand-in was used"
fi

# ---- unregister ----
for b in $run_bits; do
  host "$b" regsvr32 /u /s "$(winepath -w "$work/ocx$b/QzlinkAXCtrlE.ocx")" </dev/null >/dev/null 2>&1
  check "$b-bit: regsvr32 /u removes the class" \
    bash -c "! wine reg query 'HKCR\\CLSID\\$clsid' /reg:$b </dev/null >/dev/null 2>&1"
  script "$b" "$tests/control.js" 99 >"$work/gone$b.out"
  check "$b-bit: the ProgID no longer creates it" bash -c "! grep -q '^ok' '$work/gone$b.out'"
done
check "the ProgID and the type library are gone" \
  bash -c "! wine reg query 'HKCR\\QzlinkAXCtrlE.QzlinkCtrl' </dev/null >/dev/null 2>&1 && \
           ! wine reg query 'HKCR\\TypeLib\\{44AD5DFE-71E3-49CC-8249-91C7ABAA6151}' </dev/null >/dev/null 2>&1"

# ---- the distribution: zip and installer ----
# The installer is a 32-bit program for both bitnesses; it registers the
# control with the regsvr32 of the control's bitness.
cat >"$work/installed.vbs" <<'VBS'
Set cam = CreateObject("QzlinkAXCtrlE.QzlinkCtrl")
WScript.Echo "created, CommClose " & cam.CommClose()
VBS
for b in $bits_list; do
  if ! bash "$root/packaging/windows/make-windows-dist.sh" "$b" "$root/build-win$b" \
    "$root/build-win$b/dist" >"$work/dist$b.out" 2>&1; then
    cat "$work/dist$b.out"
    check "$b-bit: the zip and the installer are made" false
    continue
  fi
  zipfile=$(grep '\.zip$' "$work/dist$b.out")
  setup=$(grep 'setup\.exe$' "$work/dist$b.out")
  unzip -l "$zipfile" >"$work/zip$b.list"
  missing=0
  for f in bin/QZLINK.dll bin/QZLINKE.DLL bin/QzlinkAXCtrlE.ocx bin/qzcli.exe \
           include/qzlink/qzlink.h include/qzlink/QZLINK.def lib/libQZLINK.dll.a README.txt; do
    grep -q "/$f\$" "$work/zip$b.list" || { echo "  not in the zip: $f"; missing=1; }
  done
  check "$b-bit: the zip holds the DLLs, the control, qzcli, header, .def, import library, README" \
    [ $missing -eq 0 ]
  if [[ " $wine_bits " != *" 32 "* ]]; then
    echo "skip $b-bit: the installer's run: it is a 32-bit program and Wine's 32-bit half is missing"
    continue
  fi
  dir="$WINEPREFIX/drive_c/QzTest$b"
  rm -rf "$dir"
  wine "$setup" /S "/D=C:\\QzTest$b" </dev/null >/dev/null 2>&1
  check "$b-bit: the silent install succeeds" [ $? -eq 0 ]
  check "$b-bit: the files are in place" \
    [ -f "$dir/bin/QzlinkAXCtrlE.ocx" -a -f "$dir/bin/QZLINKE.DLL" -a -f "$dir/bin/qzcli.exe" \
      -a -f "$dir/include/qzlink/qzlink.h" -a -f "$dir/uninstall.exe" ]
  wine reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve "/reg:$b" </dev/null 2>/dev/null |
    tr -d '\r' >"$work/installed$b.reg"
  check "$b-bit: the installed control is registered" grep -qi 'QzTest'"$b"'\\bin\\QzlinkAXCtrlE.ocx' \
    "$work/installed$b.reg"
  script "$b" "$work/installed.vbs" >"$work/installed$b.out"
  check "$b-bit: and a script creates it" grep -qx 'created, CommClose -2' "$work/installed$b.out"
  # The uninstaller runs a copy of itself from the temporary folder and
  # returns at once: wait (at most 30 s) for the folder to go.
  wine "$dir/uninstall.exe" /S </dev/null >/dev/null 2>&1
  for _ in $(seq 150); do [ -e "$dir" ] || break; sleep 0.2; done
  check "$b-bit: the silent uninstall removes the files" [ ! -e "$dir" ]
  check "$b-bit: and unregisters the control" \
    bash -c "! wine reg query 'HKCR\\CLSID\\$clsid' /reg:$b </dev/null >/dev/null 2>&1"
done

echo "Windows control tests took $(($(date +%s) - started)) s"
checks_summary
