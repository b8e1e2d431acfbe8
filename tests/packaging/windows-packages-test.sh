#!/usr/bin/env bash
# Checks the Windows packages that `package` left in BUILD/packages, under
# Wine in the project's test prefix ($WINEPREFIX):
#
#   windows-packages-test.sh setup BUILD SOURCE VERSION MAKENSIS HOLD_MUTEX_EXE
#       an older setup, then this one over it (upgrade), silently (/S); the
#       bundle in Common Files\VST3 equals the build tree's and renders the
#       demo identically, the factory presets are in ProgramData\VST3
#       Presets\<vendor>\Tarnovelle; the setup run again over itself; the
#       uninstaller run silently removes all it installed and nothing else
#       (a preset the user saved beside the factory ones stays); run again
#       (a copy) it is a no-op; a setup that cannot create its folder, or
#       that starts while another one runs, fails and leaves nothing behind
#   windows-packages-test.sh zip BUILD SOURCE VERSION
#       the zip holds one folder with the bundle, the player, the presets'
#       folder, README and licence
#
# Prints one line per check; exits 1 if any failed.
set -uo pipefail
mode=$1 build=$2 src=$3 version=$4 makensis=${5:-makensis} hold_mutex=${6:-}
setup="$build/packages/Tarnovelle-${version}-setup.exe"
zip="$build/packages/Tarnovelle-${version}-windows-x64.zip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"
vendor=$(factory_vendor "$build")

: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix of the tests}"
programs="$WINEPREFIX/drive_c/Program Files"
vst3="$programs/Common Files/VST3"
bundle="$vst3/Tarnovelle.vst3"
program_dir="$programs/Tarnovelle"
vendor_presets="$WINEPREFIX/drive_c/ProgramData/VST3 Presets/$vendor"
presets="$vendor_presets/Tarnovelle"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnovelle'
bundle_win='C:\Program Files\Common Files\VST3\Tarnovelle.vst3'
uninstaller_win='C:\Program Files\Tarnovelle\Uninstall.exe'
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"

key_exists() { wine reg query "$key" >/dev/null 2>&1; }
key_value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v name="$1" '$1 == name {print $3}'; }
no_key() { ! key_exists; }
absent() { [ ! -e "$1" ]; }
# Nothing named Tarnovelle* left beside the bundle (staging or replaced copies).
no_leftovers_beside() { ! ls -A "$vst3" 2>/dev/null | grep -v '^Tarnovelle\.vst3$' | grep -q '^Tarnovelle'; }
same_as_build() { diff -r "$build/Tarnovelle.vst3" "$bundle" >/dev/null; }

# The uninstaller returns at once and finishes from a copy of itself in the
# temporary folder: wait (up to a minute) until its entry and itself are gone.
wait_for_uninstall() {
  local i
  for i in $(seq 60); do
    if ! key_exists && [ ! -e "$program_dir/Uninstall.exe" ]; then
      sleep 1 # let the copy exit
      return 0
    fi
    sleep 1
  done
  return 1
}

render() { # render BUNDLE OUT.wav, through the build tree's renderer
  wine "$build/tools/tarnovelle-render.exe" --quiet --rate 48000 --tail 1 --set "Glissando=120" \
    "$1" "$src/demo/demo.mid" "$2" </dev/null
}

# The setup of an older release: the build tree's bundle with one file more.
build_older_setup() {
  mkdir -p "$work/old"
  cp -r "$build/Tarnovelle.vst3" "$work/old/"
  echo "from an older release" >"$work/old/Tarnovelle.vst3/Contents/Resources/obsolete.txt"
  cmake -DMAKENSIS="$makensis" -DSOURCE_DIR="$src" -DBUNDLE="$work/old/Tarnovelle.vst3" \
    -DPLAYER="$build/Tarnovelle.exe" -DVERSION=0.9.0 \
    -DOUTPUT="$work/Tarnovelle-0.9.0-setup.exe" -DWORK_DIR="$work/old-nsis" -DVENDOR="$vendor" \
    -DCOPYRIGHT="test" -DPRESETS="$build/presets" -P "$src/cmake/WindowsInstaller.cmake" >"$work/old-setup.log" 2>&1 ||
    { cat "$work/old-setup.log"; return 1; }
}

setup_checks() {
  check "the setup exists ($setup)" test -f "$setup" || return

  # Leftovers of an earlier, interrupted run of this test go first.
  if key_exists || [ -e "$bundle" ] || [ -e "$program_dir" ]; then
    echo "      removing an installation left by an earlier run"
    [ -e "$program_dir/Uninstall.exe" ] && wine "$uninstaller_win" /S </dev/null && wait_for_uninstall
    rm -rf "$bundle" "$program_dir" "$vst3"/Tarnovelle.vst3.* "$vendor_presets"
    wine reg delete "$key" /f >/dev/null 2>&1
  fi
  [ -f "$vst3" ] && rm -f "$vst3"

  # An older release to upgrade from.
  check "an older setup (0.9.0) is built" build_older_setup || return
  check "the older setup installs silently" wine "$work/Tarnovelle-0.9.0-setup.exe" /S </dev/null
  check "... its bundle is in Common Files\\VST3" test -f "$bundle/Contents/Resources/obsolete.txt"
  check "... and registered as 0.9.0" test "$(key_value DisplayVersion)" = 0.9.0

  check "this setup installs silently over it" wine "$setup" /S </dev/null
  check "... the older bundle's extra file is gone" absent "$bundle/Contents/Resources/obsolete.txt"
  check "... the bundle equals the build tree's, file for file" same_as_build
  check "... registered as $version" test "$(key_value DisplayVersion)" = "$version"
  check "... with its quiet uninstall command" \
    test "$(wine reg query "$key" /v QuietUninstallString 2>/dev/null | tr -d '\r' | grep -c 'Uninstall.exe" /S')" -eq 1
  check "... the uninstaller is in Program Files\\Tarnovelle" test -f "$program_dir/Uninstall.exe"
  check "... the player is in Program Files\\Tarnovelle, the build tree's" cmp "$build/Tarnovelle.exe" "$program_dir/Tarnovelle.exe"
  check "... with a Start-menu shortcut" test -f "$start_menu/Tarnovelle.lnk"
  check "... the installed player names the version" \
    bash -c 'test "$(wine "$1" --version </dev/null 2>/dev/null | tr -d "\r")" = "Tarnovelle $2"' _ "$program_dir/Tarnovelle.exe" "$version"
  check "... nothing is left beside the bundle" no_leftovers_beside
  check "the factory's vendor is known (moduleinfo.json): '$vendor'" test -n "$vendor"
  check "... the presets are the build tree's, in ProgramData\\VST3 Presets\\$vendor\\Tarnovelle" \
    same_presets "$build" "$presets"
  # (Wine keeps no read-only attribute on folders, so the folder's own
  # attribute cannot be seen here.)
  check "... desktop.ini is hidden and system" \
    bash -c 'wine cmd /c attrib "$1\desktop.ini" 2>/dev/null | tr -d "\r" | grep -qE "^ *A? *S +H "' _ "$bundle_win"

  check "the demo renders through the installed bundle" render "$bundle_win" "$work/installed.wav"
  check "... and through the build tree's bundle" render "$build/Tarnovelle.vst3" "$work/build.wav"
  check "... identically" cmp "$work/build.wav" "$work/installed.wav"

  check "the setup runs again over its own installation" wine "$setup" /S </dev/null
  check "... the bundle still equals the build tree's" same_as_build
  check "... still registered as $version" test "$(key_value DisplayVersion)" = "$version"
  check "... nothing is left beside the bundle" no_leftovers_beside

  # Files the setup did not install survive the uninstall.
  echo "mine" >"$bundle/Contents/notes.txt"
  echo "mine" >"$presets/My sound.vstpreset"
  cp "$program_dir/Uninstall.exe" "$work/Uninstall-copy.exe"
  check "the uninstaller runs silently" wine "$uninstaller_win" /S </dev/null
  check "... and finishes within a minute" wait_for_uninstall
  check "... the Add/Remove Programs entry is gone" no_key
  check "... Program Files\\Tarnovelle is gone" absent "$program_dir"
  check "... the Start-menu shortcut is gone" absent "$start_menu/Tarnovelle.lnk"
  check "... of the bundle only the file it did not install is left" \
    test "$(cd "$bundle" 2>/dev/null && find . -type f)" = "./Contents/notes.txt"
  check "... of the presets only the user's own is left" \
    test "$(cd "$presets" 2>/dev/null && ls -A)" = "My sound.vstpreset"
  rm -rf "$bundle" "$vendor_presets"
  check "... nothing is left beside the bundle" no_leftovers_beside

  check "a second uninstall (a copy of the uninstaller) is a no-op" \
    wine "$work/Uninstall-copy.exe" /S '_?=C:\Program Files\Tarnovelle' </dev/null
  check "... it created nothing" bash -c '[ ! -e "$1" ] && [ ! -e "$2" ]' _ "$program_dir" "$bundle"
  check "... and registered nothing" no_key

  # A setup that cannot create its folder (a file is in the way) fails and
  # leaves nothing of itself.
  rmdir "$vst3" 2>/dev/null
  if [ ! -e "$vst3" ]; then
    echo "in the way" >"$vst3"
    wine "$setup" /S </dev/null
    local rc=$?
    check "a setup that cannot create Common Files\\VST3 fails (exit $rc)" test "$rc" -ne 0
    check "... installs no uninstaller" absent "$program_dir"
    check "... and registers nothing" no_key
    check "... and writes no presets" absent "$presets"
    check "... and leaves no folder beside it" \
      bash -c '! ls -A "$1" | grep -q "^Tarnovelle"' _ "$programs/Common Files"
    rm -f "$vst3"
    mkdir -p "$vst3"
  else
    echo "FAIL  Common Files\\VST3 holds other files: the blocked-folder case was not run"
    failures=$((failures + 1))
  fi

  # A setup started while another one runs (here: a program holding the
  # setup's mutex) stops at once and changes nothing.
  check "a program holds the setup's mutex" test -f "$hold_mutex" || return
  coproc HOLD { wine "$hold_mutex" 2>&1; }
  local holder=$HOLD_PID to_holder=${HOLD[1]} line="" rc
  read -r -t 60 line <&"${HOLD[0]}"
  check "... and has it" test "${line%$'\r'}" = held
  wine "$setup" /S </dev/null
  rc=$?
  exec {to_holder}>&-
  wait "$holder"
  check "a setup started meanwhile stops (exit $rc)" test "$rc" -eq 3
  check "... installs nothing" absent "$bundle"
  check "... and registers nothing" no_key
}

zip_checks() {
  check "the zip exists ($zip)" test -f "$zip" || return
  local top="Tarnovelle-${version}-windows-x64"
  (cd "$work" && cmake -E tar xf "$zip") || { check "the zip unpacks" false; return; }
  check "it unpacks into one folder, $top" test "$(ls -A "$work")" = "$top"
  check "... with the bundle, the player, VST3 Presets, README.txt, LICENSE.txt and THIRD-PARTY-NOTICES.txt" \
    test "$(ls -A "$work/$top" | LC_ALL=C sort | tr '\n' '/')" = "LICENSE.txt/README.txt/THIRD-PARTY-NOTICES.txt/Tarnovelle.exe/Tarnovelle.vst3/VST3 Presets/"
  check "... the player is the build tree's" cmp "$build/Tarnovelle.exe" "$work/$top/Tarnovelle.exe"
  check "... the presets are the build tree's, in VST3 Presets/$vendor/Tarnovelle" \
    same_presets "$build" "$work/$top/VST3 Presets/$vendor/Tarnovelle"
  check "... and nothing else is in VST3 Presets" \
    test "$(cd "$work/$top/VST3 Presets" && find . -type f | wc -l)" -eq "$(ls "$build"/presets/*.vstpreset | wc -l)"
  check "... the bundle equals the build tree's" diff -r "$build/Tarnovelle.vst3" "$work/$top/Tarnovelle.vst3"
  check "... the licence is the project's" cmp "$src/LICENSE" "$work/$top/LICENSE.txt"
  check "... the README names the version and the VST3 folder" \
    bash -c 'grep -q "$2" "$1" && grep -q "Common Files.VST3" "$1"' _ "$work/$top/README.txt" "$version"
  check "... and where the presets go (Documents\\VST3 Presets)" grep -q 'Documents.VST3 Presets' "$work/$top/README.txt"
}

case $mode in
  setup) setup_checks ;;
  zip) zip_checks ;;
  *) echo "unknown mode '$mode' (setup, zip)" >&2; exit 2 ;;
esac
echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
