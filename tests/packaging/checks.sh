# What both package tests share: `check DESCRIPTION COMMAND...` runs the
# command, prints "ok" or "FAIL" with the description and counts the
# failures in $failures. Sourced, not run.
failures=0

check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok    $what"
  else
    echo "FAIL  $what"
    failures=$((failures + 1))
    return 1
  fi
}
