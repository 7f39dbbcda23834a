#!/usr/bin/env bash
# Checks one program against the command-line conventions in CONTRIBUTING.md:
# --help and -h print the manual text on standard output with status 0,
# --version prints "NAME (PACKAGE) VERSION" with status 0, both without a
# display; a bad option gives one line on standard error and status 2.
# usage: check_command_line.sh PROGRAM PACKAGE VERSION
set -u
program=$1
package=$2
version=$3
name=$(basename "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

. "$(dirname "$0")/checks.sh"

# No program may need a display (or a terminal) for these.
run() {  # run OUT ARGS...: status in $status
  local out=$1; shift
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    timeout 20 "$program" "$@" </dev/null >"$work/$out.out" 2>"$work/$out.err"
  status=$?
}
lines() { wc -l <"$1"; }

run help --help
check "$name --help exits 0" [ "$status" -eq 0 ]
check "--help writes nothing on standard error" [ ! -s "$work/help.err" ]
check "the first line names the program: '$name - what it does'" \
  grep -qE "^$name - [a-z]" <(head -n 1 "$work/help.out")
check "a 'Usage: $name' line" grep -qE "^Usage: $name( |$)" "$work/help.out"
for section in 'Options:' 'Exit status:'; do
  check "a section '$section'" grep -qx "$section" "$work/help.out"
done
check "--help and --version are listed" \
  bash -c "grep -qE '^ +(-h, )?--help' '$work/help.out' && grep -qE '^ +--version' '$work/help.out'"
check "status 2 is listed under Exit status" \
  bash -c "sed -n '/^Exit status:$/,/^[^ ]/p' '$work/help.out' | grep -qE '^ +2 '"
check "no line is longer than 79 columns" \
  bash -c "! awk 'length > 79 { print FILENAME \":\" NR \": \" \$0; bad = 1 } END { exit !bad }' \
           '$work/help.out'"
check "no tab characters" bash -c "! grep -q $'\t' '$work/help.out'"

run short -h
check "-h is --help" cmp -s "$work/help.out" "$work/short.out"
check "-h exits 0" [ "$status" -eq 0 ]

run version --version
check "$name --version exits 0" [ "$status" -eq 0 ]
check "--version prints '$name ($package) $version'" \
  [ "$(cat "$work/version.out")" = "$name ($package) $version" ]
check "--version writes nothing on standard error" [ ! -s "$work/version.err" ]

run bad --no-such-option
check "a bad option exits 2" [ "$status" -eq 2 ]
check "with nothing on standard output" [ ! -s "$work/bad.out" ]
check "and one line on standard error" [ "$(lines "$work/bad.err")" -eq 1 ]
check "that names the program and the option" \
  grep -qE "^$name: .*--no-such-option" "$work/bad.err"
check "and points to --help" grep -q -- "--help" "$work/bad.err"

run value --version=3
check "--version=3 is a bad option (exit 2, one line)" \
  bash -c "[ $status -eq 2 ] && [ \$(wc -l <'$work/value.err') -eq 1 ]"

if [ "$failures" -ne 0 ]; then
  echo "--- $name --help:"; cat "$work/help.out"
  echo "--- $name --no-such-option:"; cat "$work/bad.err"
fi
checks_summary
