#!/usr/bin/env bash
# Checks the Linux packages that `package` left in BUILD/packages:
#
#   linux-packages-test.sh deb      BUILD SOURCE VERSION   control fields, file list,
#                                                           owners and modes; unpacked
#                                                           with dpkg-deb -x, the demo
#                                                           renders through it exactly
#                                                           as through the build tree;
#                                                           the factory presets in
#                                                           /usr/share/vst3/presets
#   linux-packages-test.sh lintian  BUILD SOURCE VERSION   lintian reports no error
#   linux-packages-test.sh archive  BUILD SOURCE VERSION   the .tar.gz holds only the
#                                                           bundles, the player and the
#                                                           presets, renders from a
#                                                           ~/.vst3 it was unpacked into,
#                                                           and its LV2 bundle unpacks
#                                                           into ~/.lv2
#   linux-packages-test.sh reproducible BUILD SOURCE VERSION  packaged twice from a copy
#                                                           of the build's packaging
#                                                           inputs, with the files
#                                                           rebuilt (touched) in
#                                                           between: byte-identical,
#                                                           and equal to the build's own
#
# Prints one line per check; exits 1 if any failed.
set -uo pipefail
mode=$1 build=$2 src=$3 version=$4
deb="$build/packages/tarnovelle_${version}_amd64.deb"
archive="$build/packages/Tarnovelle-${version}-linux-x86_64.tar.gz"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"
vendor=$(factory_vendor "$build")

# Renders the demo phrase through BUNDLE with RENDERER into OUT.
render() {
  "$1" --quiet --rate 48000 --tail 1 --set "Glissando=120" "$2" "$src/demo/demo.mid" "$3"
}

# The bundle's files in the build tree, relative to the bundle.
bundle_files() {
  (cd "$build/Tarnovelle.vst3" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
}

# The LV2 bundle's files in the build tree, relative to it.
lv2_files() {
  (cd "$build/Tarnovelle.lv2" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
}

control_field() { dpkg-deb -f "$deb" "$1"; }

deb_checks() {
  check "the .deb exists ($deb)" test -f "$deb" || return
  check "Package is tarnovelle" test "$(control_field Package)" = tarnovelle
  check "Version is $version" test "$(control_field Version)" = "$version"
  check "Architecture is amd64" test "$(control_field Architecture)" = amd64
  check "Section is sound" test "$(control_field Section)" = sound
  check "Maintainer is a name and an address" \
    grep -qE '^[^<]+ <[^>]+@[^>]+>$' <<<"$(control_field Maintainer)"
  local depends
  depends=$(control_field Depends)
  echo "      Depends: $depends"
  check "Depends names libc6 with a version" grep -qE '(^|, )libc6 \(>= [0-9.]+\)' <<<"$depends"
  check "Depends names libstdc++6 with a version" grep -qE '(^|, )libstdc\+\+6 \(>= [0-9.]+\)' <<<"$depends"
  check "Depends names no -dev package" bash -c '! grep -q -- "-dev" <<<"$1"' _ "$depends"
  check "Description has a summary and a body" test "$(control_field Description | wc -l)" -ge 3

  # Exactly these files, owned by root, with the usual modes.
  local listing="$work/listing"
  dpkg-deb -c "$deb" >"$listing"
  {
    bundle_files | grep -v '^Contents/x86_64-linux/' | sed 's|^|./usr/lib/vst3/Tarnovelle.vst3/|'
    echo ./usr/lib/vst3/Tarnovelle.vst3/Contents/x86_64-linux/Tarnovelle.so
    lv2_files | sed 's|^|./usr/lib/lv2/Tarnovelle.lv2/|'
    printf '%s\n' ./usr/bin/tarnovelle-render ./usr/bin/tarnovelle-view ./usr/bin/tarnovelle-wavdiff ./usr/bin/tarnovelle \
      ./usr/share/applications/tarnovelle.desktop ./usr/share/icons/hicolor/scalable/apps/tarnovelle.svg \
      ./usr/share/doc/tarnovelle/changelog.gz ./usr/share/doc/tarnovelle/copyright \
      ./usr/share/man/man1/tarnovelle-render.1.gz ./usr/share/man/man1/tarnovelle-view.1.gz \
      ./usr/share/man/man1/tarnovelle-wavdiff.1.gz \
      ./usr/share/man/man1/tarnovelle.1.gz
    (cd "$build/presets" && ls *.vstpreset) | sed "s|^|./usr/share/vst3/presets/$vendor/Tarnovelle/|"
  } | LC_ALL=C sort >"$work/expected"
  # The name is all after the fifth field (preset names hold blanks).
  awk '$1 !~ /^d/' "$listing" | sed -E 's/^([^ ]+ +){5}//' | LC_ALL=C sort >"$work/files"
  check "the factory's vendor is known (moduleinfo.json): '$vendor'" test -n "$vendor"
  check "the files are the bundles, the player with its menu entry and icon, the three tools, manual pages, the licence and the presets" \
    diff -u "$work/expected" "$work/files"
  check "every entry belongs to root/root" bash -c '! awk "\$2 != \"root/root\"" "$1" | grep -q .' _ "$listing"
  check "the module is -rw-r--r--" \
    grep -qE '^-rw-r--r-- .* \./usr/lib/vst3/Tarnovelle\.vst3/Contents/x86_64-linux/Tarnovelle\.so$' "$listing"
  check "tarnovelle-render is -rwxr-xr-x" grep -qE '^-rwxr-xr-x .* \./usr/bin/tarnovelle-render$' "$listing"
  check "tarnovelle is -rwxr-xr-x" grep -qE '^-rwxr-xr-x .* \./usr/bin/tarnovelle$' "$listing"
  check "folders are drwxr-xr-x" bash -c '! awk "\$1 ~ /^d/ && \$1 != \"drwxr-xr-x\"" "$1" | grep -q .' _ "$listing"

  # Unpacked into a root of its own, it plays as the build tree does.
  local root="$work/root"
  check "dpkg-deb -x unpacks it" dpkg-deb -x "$deb" "$root" || return
  check "the unpacked module is stripped" \
    bash -c 'file -b "$1" | grep -q ", stripped"' _ "$root/usr/lib/vst3/Tarnovelle.vst3/Contents/x86_64-linux/Tarnovelle.so"
  check "the unpacked LV2 binary is stripped and -rw-r--r--" \
    bash -c 'file -b "$1" | grep -q ", stripped" && test "$(stat -c %A "$1")" = -rw-r--r--' _ \
    "$root/usr/lib/lv2/Tarnovelle.lv2/Tarnovelle.so"
  check "the LV2 descriptions are the build tree's" \
    bash -c 'for f in "$1"/*.ttl; do cmp "$f" "$2/${f##*/}" || exit 1; done' _ "$build/Tarnovelle.lv2" \
    "$root/usr/lib/lv2/Tarnovelle.lv2"
  check "the presets are the build tree's, in /usr/share/vst3/presets/$vendor/Tarnovelle" \
    same_presets "$build" "$root/usr/share/vst3/presets/$vendor/Tarnovelle"
  check "moduleinfo.json is the build tree's" cmp "$build/Tarnovelle.vst3/Contents/Resources/moduleinfo.json" \
    "$root/usr/lib/vst3/Tarnovelle.vst3/Contents/Resources/moduleinfo.json"
  check "the unpacked tarnovelle-render renders through the unpacked bundle" \
    render "$root/usr/bin/tarnovelle-render" "$root/usr/lib/vst3/Tarnovelle.vst3" "$work/unpacked.wav"
  check "the build tree renders the same phrase" \
    render "$build/tools/tarnovelle-render" "$build/Tarnovelle.vst3" "$work/build.wav"
  check "both renders are identical" cmp "$work/build.wav" "$work/unpacked.wav"
  check "the unpacked player names the version" \
    test "$("$root/usr/bin/tarnovelle" --version)" = "tarnovelle $version"
  check "the Debian changelog's newest entry is $version" \
    grep -qx "tarnovelle ($version) unstable; urgency=medium" <(zcat "$root/usr/share/doc/tarnovelle/changelog.gz" | head -n 1)
  check "the menu entry starts tarnovelle with its icon" \
    bash -c 'grep -qx "Exec=tarnovelle" "$1" && grep -qx "Icon=tarnovelle" "$1"' _ "$root/usr/share/applications/tarnovelle.desktop"
  # It finds the bundle in ../lib/vst3 and stops at the missing JACK server
  # and ALSA device (the state goes into a folder of the test's own).
  check "the unpacked player finds the unpacked bundle" \
    bash -c 'out=$(XDG_CONFIG_HOME="$2" JACK_DEFAULT_SERVER=tarno-none "$1" --no-gui --device tarno_none 2>&1); \
      printf "%s\n" "$out" | grep -q "error: cannot play: no JACK server"' _ "$root/usr/bin/tarnovelle" "$work/config"
}

lintian_checks() {
  check "the .deb exists ($deb)" test -f "$deb" || return
  check "lintian is installed (scripts/install-deps.sh)" command -v lintian >/dev/null || return
  local out="$work/lintian.txt"
  lintian --fail-on error "$deb" >"$out" 2>&1
  local rc=$?
  sed 's/^/      /' "$out"
  check "lintian ran and reports no error" test "$rc" -eq 0
  check "no E: line" bash -c '! grep -q "^E:" "$1"' _ "$out"
  check "hardened (bind-now, fortified calls)" bash -c '! grep -q "hardening-" "$1"' _ "$out"
}

# A copy of what the packages are made from, in COPY: the install scripts,
# CPack's configuration and the built files they name, with the build
# folder's path changed to the copy's. Packaging from it touches nothing of
# the build folder, which other tests run from meanwhile.
copy_packaging_inputs() {
  local copy=$1 scripts f
  mkdir -p "$copy"
  scripts=$(cd "$build" && find . -name cmake_install.cmake; ls CPackConfig.cmake CPackProperties.cmake \
    packaging/CPackPerGenerator.cmake 2>/dev/null)
  (cd "$build" && cp --parents $scripts "$copy/") || return 1
  # Every file or folder of the build the scripts name ("${...}" are CMake's own).
  for f in $(cd "$build" && grep -ohE "\"$build/[^\"\$]+\"" $scripts | tr -d '"' | sed "s|^$build/||" | sort -u); do
    [ -e "$build/$f" ] && [ ! -e "$copy/$f" ] && { (cd "$build" && cp -a --parents "$f" "$copy/") || return 1; }
  done
  (cd "$copy" && sed -i "s|$build|$copy|g" $scripts) || return 1
  # CPack builds the target `preinstall` first (cmake --build, which reads
  # the cache): here there is nothing to build.
  printf 'preinstall:\n\t@true\n' >"$copy/Makefile"
  printf 'CMAKE_GENERATOR:INTERNAL=Unix Makefiles\nCMAKE_MAKE_PROGRAM:FILEPATH=%s\nCMAKE_PROJECT_NAME:STATIC=Tarnovelle\n' \
    "$(command -v make)" >"$copy/CMakeCache.txt"
}

reproducible_checks() {
  local n copy="$work/build"
  check "the packages' inputs copied" copy_packaging_inputs "$copy" || return
  for n in 1 2; do
    # A rebuild at another time gives the same files with new times.
    find "$copy" -type f -exec touch {} +
    check "packaged ($n)" cpack --config "$copy/CPackConfig.cmake" -B "$work/pack$n" >"$work/cpack$n.log" 2>&1 ||
      { tail -20 "$work/cpack$n.log"; return; }
    sleep 1
  done
  check "... the packages are those of the build" cmp "$deb" "$work/pack1/${deb##*/}"
  check "the .deb is byte-identical" cmp "$work/pack1/${deb##*/}" "$work/pack2/${deb##*/}"
  check "the .tar.gz is byte-identical" cmp "$work/pack1/${archive##*/}" "$work/pack2/${archive##*/}"
}

archive_checks() {
  check "the archive exists ($archive)" test -f "$archive" || return
  tar -tzf "$archive" | sed 's|^\./||' | grep -v '^$' >"$work/entries"
  check "every entry is inside Tarnovelle.vst3/, Tarnovelle.lv2/ or presets/, or the player beside them" \
    bash -c '! grep -v "^\(Tarnovelle\.vst3\|Tarnovelle\.lv2\|presets\)\(/\|$\)" "$1" | grep -vx tarnovelle | grep -q .' _ "$work/entries"
  local home="$work/home"
  mkdir -p "$home/.vst3"
  # As the README says: everything but the LV2 bundle into ~/.vst3, the LV2
  # bundle into ~/.lv2.
  check "it unpacks into ~/.vst3" tar -xzf "$archive" -C "$home/.vst3" --exclude Tarnovelle.lv2 || return
  mkdir -p "$home/.lv2"
  check "its LV2 bundle unpacks into ~/.lv2" tar -xzf "$archive" -C "$home/.lv2" --wildcards '*Tarnovelle.lv2/*'
  check "~/.lv2/Tarnovelle.lv2 holds the LV2 bundle's files, no more" \
    diff -u <(lv2_files) <(cd "$home/.lv2/Tarnovelle.lv2" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
  check "nothing but the LV2 bundle in ~/.lv2" test "$(ls -A "$home/.lv2")" = Tarnovelle.lv2
  check "no LV2 bundle in ~/.vst3" test ! -e "$home/.vst3/Tarnovelle.lv2"
  (cd "$home/.vst3/Tarnovelle.vst3" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/unpacked-files"
  check "the player beside the bundle names the version" \
    test "$("$home/.vst3/tarnovelle" --version)" = "tarnovelle $version"
  check "it holds the bundle's files, no more" diff -u <(bundle_files) "$work/unpacked-files"
  check "the presets land in ~/.vst3/presets/$vendor/Tarnovelle" \
    same_presets "$build" "$home/.vst3/presets/$vendor/Tarnovelle"
  check "... and there is nothing else in ~/.vst3/presets" \
    test "$(cd "$home/.vst3/presets" && find . -type f | wc -l)" -eq "$(ls "$build"/presets/*.vstpreset | wc -l)"
  check "the demo renders through ~/.vst3/Tarnovelle.vst3" \
    render "$build/tools/tarnovelle-render" "$home/.vst3/Tarnovelle.vst3" "$work/home.wav"
  check "the build tree renders the same phrase" \
    render "$build/tools/tarnovelle-render" "$build/Tarnovelle.vst3" "$work/build.wav"
  check "both renders are identical" cmp "$work/build.wav" "$work/home.wav"
}

case $mode in
  deb) deb_checks ;;
  lintian) lintian_checks ;;
  archive) archive_checks ;;
  reproducible) reproducible_checks ;;
  *) echo "unknown mode '$mode' (deb, lintian, archive, reproducible)" >&2; exit 2 ;;
esac
echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
