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

# The factory presets' folder name: the factory's vendor, as the build's
# moduleinfo.json reports it.
factory_vendor() {
  sed -n 's/^    "Vendor": "\(.*\)",$/\1/p' "$1/Tarnovelle.vst3/Contents/Resources/moduleinfo.json" | head -n 1
}

# Whether DIR holds exactly the build's factory presets (BUILD/presets),
# byte for byte, and nothing else.
same_presets() {
  local build=$1 dir=$2 f
  [ "$(cd "$dir" 2>/dev/null && ls -A | LC_ALL=C sort)" = "$(cd "$build/presets" && ls *.vstpreset | LC_ALL=C sort)" ] || return 1
  for f in "$build"/presets/*.vstpreset; do
    cmp -s "$f" "$dir/$(basename "$f")" || return 1
  done
}
