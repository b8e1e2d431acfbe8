#!/usr/bin/env bash
# What the documentation says about the tools, checked against the tools:
#
#   docs-test.sh manuals SOURCE BUILD VERSION TOOL...
#     `TOOL --version` prints "NAME VERSION"; the long options `TOOL --help`
#     lists (its lines "  --option ...") are exactly those its manual page
#     packaging/linux/NAME.1 describes (lines ".B \-\-option", ".BI", ".BR");
#     every page there belongs to one of the TOOLs; CHANGELOG.md's newest
#     section is the release of VERSION, with its date.
#
#   docs-test.sh readme SOURCE BUILD VERSION TOOL...
#     Every command in README.md's shell blocks is run here or is known to be
#     run elsewhere (table below), and every option it gives a tool, there or
#     in the text, is one the tool lists. The README names the installed
#     tools and bundle: they are run from the build tree (the tools first on
#     PATH, /usr/lib/vst3/Tarnovelle.vst3 the built bundle, song.mid the demo
#     phrase, in a scratch folder that is also HOME).
#
# Prints one line per check; exits 1 if any failed.
set -uo pipefail
mode=$1 src=$2 build=$3 version=$4
shift 4
source "$src/tests/packaging/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

declare -A tools
for tool in "$@"; do tools[$(basename "$tool" .exe)]=$tool; done

# The long options a tool's --help lists, one a line.
help_options() {
  "${tools[$1]}" --help 2>/dev/null | tr -d '\r' | grep -oE '^  (-[A-Za-z], )?--[a-z0-9-]+' |
    grep -oE -- '--[a-z0-9-]+' | LC_ALL=C sort -u
}

manuals() {
  local name page
  for name in "${!tools[@]}"; do
    page="$src/packaging/linux/$name.1"
    check "$name has a manual page" test -f "$page" || continue
    check "$name --version prints '$name $version'" \
      test "$("${tools[$name]}" --version 2>&1 | tr -d '\r')" = "$name $version"
    help_options "$name" >"$work/help"
    grep -oE '^\.(B|BI|BR) +\\-\\-[a-z0-9\\-]+' "$page" | sed -E 's/^\.[A-Z]+ +//; s/\\-/-/g' |
      LC_ALL=C sort -u >"$work/page"
    check "$name --help lists options" test -s "$work/help"
    check "$name: the options of --help (-) are those of $name.1 (+)" diff -u "$work/help" "$work/page"
  done
  local release
  release=$(grep -m1 -E '^## \[' "$src/CHANGELOG.md")
  check "CHANGELOG.md's newest section releases $version with a date ($release)" \
    grep -qE "^## \[$version\] - [0-9]{4}-[0-9]{2}-[0-9]{2}\$" <<<"$release"
  for page in "$src"/packaging/linux/*.1; do
    name=$(basename "$page" .1)
    check "$name.1 belongs to a tool checked here" test -n "${tools[$name]:-}"
  done
}

# Checks the options of one tool command; runs it too when RUN is yes.
tool_command() {
  local line=$1 run=$2 name opt
  name=$(sed -E 's/^(xvfb-run( -a)? )?([^ ]+).*/\3/' <<<"$line")
  if [ -z "${tools[$name]:-}" ]; then
    echo "skip  '$line': $name is not built here"
    return
  fi
  for opt in $(grep -oE '(^| )--[a-z0-9-]+' <<<"$line"); do
    check "$name lists $opt" grep -qxF -- "$opt" <(help_options "$name")
  done
  [ "$run" = yes ] || return 0
  local bundle=${line//\/usr\/lib\/vst3\/Tarnovelle.vst3/$build/Tarnovelle.vst3}
  check "runs: $line" bash -c 'cd "$1/home" && HOME=$1/home PATH=$1/bin:$PATH bash -c "$2" >"$1/log" 2>&1 ||
    { cat "$1/log"; exit 1; }' _ "$work" "$bundle"
}

preset_exists() { # KIND NAME: a configure, build or test preset
  python3 -c 'import json, sys; d = json.load(open(sys.argv[1]))
sys.exit(sys.argv[3] not in [p["name"] for p in d.get(sys.argv[2] + "Presets", [])])' \
    "$src/CMakePresets.json" "$1" "$2"
}

readme() {
  mkdir -p "$work/bin" "$work/home"
  for name in "${!tools[@]}"; do ln -s "${tools[$name]}" "$work/bin/$name"; done
  cp "$src/demo/demo.mid" "$work/home/song.mid"
  local line preset
  # Shell blocks, one command a line, without trailing comments.
  while IFS= read -r line; do
    case $line in
      "bash scripts/main.sh" | "bash scripts/test.sh")
        check "'$line' is the main job or the test command" test -f "$src/${line#bash }" ;;
      "scripts/build.sh "*)
        for preset in ${line#scripts/build.sh }; do
          check "'$line': $preset is a configure and build preset" \
            bash -c 'preset_exists configure "$1" && preset_exists build "$1"' _ "$preset"
        done ;;
      "scripts/package.sh")
        check "'$line' is run by the main job" grep -q "scripts/package.sh" "$src/scripts/main.sh" ;;
      "ctest --preset "*)
        check "'$line' selects tests" bash -c 'cd "$1" && $2 -N | grep -qE "Total Tests: [1-9]"' _ "$src" "$line" ;;
      "cmake --install build/linux --prefix "*)
        check "'$line' installs the tools" bash -c 'cd "$1" && DESTDIR="$2/root" ${3/build\/linux/$4} >/dev/null &&
          test -x "$2/root/${3##* }/bin/tarnovelle-render"' _ "$src" "$work" "$line" "$build" ;;
      "sudo apt install ./tarnovelle_*_amd64.deb")
        check "'$line' names the .deb that deb_package installs and plays" \
          test -f "$build/packages/tarnovelle_${version}_amd64.deb" ;;
      "mkdir -p ~/.vst3 && tar -xzf Tarnovelle-*-linux-x86_64.tar.gz -C ~/.vst3 --exclude Tarnovelle.lv2")
        check "runs: $line" bash -c 'cd "$1/packages" && HOME=$2/home bash -c "$3" &&
          test -f "$2/home/.vst3/Tarnovelle.vst3/Contents/x86_64-linux/Tarnovelle.so" &&
          test ! -e "$2/home/.vst3/Tarnovelle.lv2"' _ "$build" "$work" "$line" ;;
      "mkdir -p ~/.lv2 && tar -xzf Tarnovelle-*-linux-x86_64.tar.gz -C ~/.lv2 --wildcards '*Tarnovelle.lv2/*'")
        check "runs: $line" bash -c 'cd "$1/packages" && HOME=$2/home bash -c "$3" &&
          test -f "$2/home/.lv2/Tarnovelle.lv2/Tarnovelle.so" &&
          test -f "$2/home/.lv2/Tarnovelle.lv2/manifest.ttl"' _ "$build" "$work" "$line" ;;
      tarnovelle-render* | *" --help" | *" --version" | *"--screenshot "*)
        tool_command "$line" yes ;;
      tarnovelle*)
        tool_command "$line" no ;;
      *)
        check "'$line' is run by a test or the main job" false ;;
    esac
  done < <(awk '/^```/ { inside = !inside && $0 == "```sh"; next } inside' "$src/README.md" |
             sed -E 's/[[:space:]]+#.*$//' | grep .)
  # Tool commands in the text: their options only.
  while IFS= read -r line; do
    tool_command "$line" no
  done < <(awk '/^```/ { inside = !inside; next } !inside' "$src/README.md" |
             grep -oE '`tarnovelle[a-z-]* [^`]+`' | tr -d '`')
}

export -f preset_exists
export src
case $mode in
  manuals) manuals ;;
  readme) readme ;;
  *) echo "unknown mode '$mode' (manuals, readme)" >&2; exit 2 ;;
esac
echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
