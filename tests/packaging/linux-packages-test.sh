#!/usr/bin/env bash
# Checks the Linux packages that `package` left in BUILD/packages:
#
#   linux-packages-test.sh deb      BUILD SOURCE VERSION   control fields, file list,
#                                                           owners and modes; unpacked
#                                                           with dpkg-deb -x, the demo
#                                                           renders through it exactly
#                                                           as through the build tree
#   linux-packages-test.sh lintian  BUILD SOURCE VERSION   lintian reports no error
#   linux-packages-test.sh archive  BUILD SOURCE VERSION   the .tar.gz holds only the
#                                                           bundle and renders from a
#                                                           ~/.vst3 it was unpacked into
#
# Prints one line per check; exits 1 if any failed.
set -uo pipefail
mode=$1 build=$2 src=$3 version=$4
deb="$build/packages/tarnovelle_${version}_amd64.deb"
archive="$build/packages/Tarnovelle-${version}-linux-x86_64.tar.gz"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

# Renders the demo phrase through BUNDLE with RENDERER into OUT.
render() {
  "$1" --quiet --rate 48000 --tail 1 --set "Glissando=120" "$2" "$src/demo/demo.mid" "$3"
}

# The bundle's files in the build tree, relative to the bundle.
bundle_files() {
  (cd "$build/Tarnovelle.vst3" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
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
    printf '%s\n' ./usr/bin/tarnovelle-render ./usr/bin/tarnovelle-view ./usr/bin/tarnovelle-wavdiff \
      ./usr/share/doc/tarnovelle/changelog.gz ./usr/share/doc/tarnovelle/copyright \
      ./usr/share/man/man1/tarnovelle-render.1.gz ./usr/share/man/man1/tarnovelle-view.1.gz \
      ./usr/share/man/man1/tarnovelle-wavdiff.1.gz
  } | LC_ALL=C sort >"$work/expected"
  awk '$1 !~ /^d/ {print $6}' "$listing" | LC_ALL=C sort >"$work/files"
  check "the files are the bundle, the tools with manual pages and the licence" diff -u "$work/expected" "$work/files"
  check "every entry belongs to root/root" bash -c '! awk "\$2 != \"root/root\"" "$1" | grep -q .' _ "$listing"
  check "the module is -rw-r--r--" \
    grep -qE '^-rw-r--r-- .* \./usr/lib/vst3/Tarnovelle\.vst3/Contents/x86_64-linux/Tarnovelle\.so$' "$listing"
  check "tarnovelle-render is -rwxr-xr-x" grep -qE '^-rwxr-xr-x .* \./usr/bin/tarnovelle-render$' "$listing"
  check "folders are drwxr-xr-x" bash -c '! awk "\$1 ~ /^d/ && \$1 != \"drwxr-xr-x\"" "$1" | grep -q .' _ "$listing"

  # Unpacked into a root of its own, it plays as the build tree does.
  local root="$work/root"
  check "dpkg-deb -x unpacks it" dpkg-deb -x "$deb" "$root" || return
  check "the unpacked module is stripped" \
    bash -c 'file -b "$1" | grep -q ", stripped"' _ "$root/usr/lib/vst3/Tarnovelle.vst3/Contents/x86_64-linux/Tarnovelle.so"
  check "moduleinfo.json is the build tree's" cmp "$build/Tarnovelle.vst3/Contents/Resources/moduleinfo.json" \
    "$root/usr/lib/vst3/Tarnovelle.vst3/Contents/Resources/moduleinfo.json"
  check "the unpacked tarnovelle-render renders through the unpacked bundle" \
    render "$root/usr/bin/tarnovelle-render" "$root/usr/lib/vst3/Tarnovelle.vst3" "$work/unpacked.wav"
  check "the build tree renders the same phrase" \
    render "$build/host/tarnovelle-render" "$build/Tarnovelle.vst3" "$work/build.wav"
  check "both renders are identical" cmp "$work/build.wav" "$work/unpacked.wav"
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
}

archive_checks() {
  check "the archive exists ($archive)" test -f "$archive" || return
  tar -tzf "$archive" | sed 's|^\./||' | grep -v '^$' >"$work/entries"
  check "every entry is inside Tarnovelle.vst3/" bash -c '! grep -v "^Tarnovelle\.vst3\(/\|$\)" "$1" | grep -q .' _ "$work/entries"
  local home="$work/home"
  mkdir -p "$home/.vst3"
  check "it unpacks into ~/.vst3" tar -xzf "$archive" -C "$home/.vst3" || return
  (cd "$home/.vst3/Tarnovelle.vst3" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/unpacked-files"
  check "it holds the bundle's files, no more" diff -u <(bundle_files) "$work/unpacked-files"
  check "the demo renders through ~/.vst3/Tarnovelle.vst3" \
    render "$build/host/tarnovelle-render" "$home/.vst3/Tarnovelle.vst3" "$work/home.wav"
  check "the build tree renders the same phrase" \
    render "$build/host/tarnovelle-render" "$build/Tarnovelle.vst3" "$work/build.wav"
  check "both renders are identical" cmp "$work/build.wav" "$work/home.wav"
}

case $mode in
  deb) deb_checks ;;
  lintian) lintian_checks ;;
  archive) archive_checks ;;
  *) echo "unknown mode '$mode' (deb, lintian, archive)" >&2; exit 2 ;;
esac
echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
