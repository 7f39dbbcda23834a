# Sourced by the shell test scripts: each check prints "ok: NAME" or
# "FAILED: NAME"; checks_summary prints the counts and its status is the
# script's result.
failures=0
checks=0

check() {  # check NAME CONDITION...
  local check_name=$1; shift
  checks=$((checks + 1))
  if "$@"; then echo "ok: $check_name"; else echo "FAILED: $check_name"; failures=$((failures + 1)); fi
}

checks_summary() {
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}
