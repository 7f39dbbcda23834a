#!/usr/bin/env bash
# Makes the manual page of one program from what the program itself prints
# for --help and --version (help2man), so that the page and the program never
# disagree. The help text follows CONTRIBUTING.md ("Command lines"): a first
# line "NAME - what it does", a Usage line, paragraphs, and sections such as
# "Options:", "Exit status:", "Environment:" and "Examples:".
#
# usage: make-manpage.sh PROGRAM VERSION DATE INCLUDE OUTPUT
#   PROGRAM  the built program
#   VERSION  the project's version, which --version must print
#   DATE     the release date (YYYY-MM-DD) for the page's footer
#   INCLUDE  a help2man include file with what --help leaves out (FILES,
#            SEE ALSO)
#   OUTPUT   the page to write, gzip-compressed (NAME.1.gz)
#
# A program that does not answer --version with "NAME (qzlink) VERSION" (or
# "NAME VERSION") does not follow the convention yet: the script says so and
# writes no page (the package checks then fail). Any other failure is an
# error.
set -euo pipefail
program=$1
version=$2
date=$3
include=$4
output=$5
name=$(basename "$program")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# As a user would run it, but without a display, a terminal or the user's
# settings, and never for long.
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM QZLINK_REGISTRY="$work/registry.reg" \
    timeout 20 "$program" "$@" </dev/null
}

rm -f "$output"
escaped_version=${version//./\\.}
if ! run --version >"$work/version" 2>/dev/null ||
   ! grep -Eqx "$name( \(qzlink\))? $escaped_version" "$work/version"; then
  echo "make-manpage: warning: $name does not answer --version with" \
       "'$name (qzlink) $version'; no manual page made" >&2
  exit 0
fi
if ! run --help >"$work/help.raw" 2>"$work/help.err"; then
  echo "make-manpage: $name --help failed:" >&2
  cat "$work/help.err" >&2
  exit 1
fi

summary=$(head -n 1 "$work/help.raw")
if [ "${summary#"$name - "}" = "$summary" ]; then
  echo "make-manpage: the first line of '$name --help' is not '$name - what it does'" >&2
  exit 1
fi
summary=${summary#"$name - "}

# The first line becomes the NAME section. A usage block written as "Usage:"
# followed by indented forms becomes "Usage: FORM" and "  or:  FORM" lines,
# the layout help2man turns into a SYNOPSIS.
awk '
  NR == 1 { next }
  NR == 2 && $0 == "" { next }
  $0 == "Usage:" { usage = 1; forms = 0; next }
  usage && /^ +[^ ]/ {
    sub(/^ +/, "")
    print (forms++ == 0 ? "Usage: " : "  or:  ") $0
    next
  }
  { usage = 0; print }
' "$work/help.raw" >"$work/help"

# help2man runs a stand-in of the program's name that prints those texts.
mkdir "$work/bin"
stand_in=$work/bin/$name
{
  echo '#!/bin/sh'
  echo 'case "$1" in'
  echo "  --help) cat '$work/help' ;;"
  echo "  --version) cat '$work/version' ;;"
  echo '  *) exit 2 ;;'
  echo 'esac'
} >"$stand_in"
chmod +x "$stand_in"

epoch=$(date -u -d "$date" +%s)
SOURCE_DATE_EPOCH=$epoch help2man --no-info --section=1 \
  --name="$summary" --source="qzlink $version" --manual="User Commands" \
  --include="$include" --output="$work/page" "$stand_in"

# help2man knows OPTIONS, ENVIRONMENT and EXAMPLES; "Exit status:" and the
# other standard sections of a manual page become sections too.
sed -E \
  -e 's/^\.SS "(Exit status|Files|See also):"$/.SH "\U\1\E"/' \
  "$work/page" >"$work/page.1"

# Written beside the output and renamed, so that a page is whole or absent.
gzip -9 -n -c "$work/page.1" >"$output.tmp"
mv "$output.tmp" "$output"
