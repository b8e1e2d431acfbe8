#!/usr/bin/env bash
# Holds the tree to its layering: each folder may include only the folders
# listed for it (and system or third-party headers in angle brackets), so
# that the format-neutral product never reaches into a plug-in format, the
# host library, the tools or the player, and no SDK header enters it.
# Usage: layering-test.sh SOURCE_DIR. Prints each include that breaks a rule.
set -uo pipefail
cd "$1" || exit 1

# folder  what its quoted includes may start with
rules=(
  "params        params/"
  "engine        engine/ params/"
  "editor/canvas editor/canvas/"
  "editor/skins  editor/skins/ editor/canvas/ params/"
  "editor        editor/ params/"
  "formats/vst3  formats/vst3/ editor/ engine/ params/ pluginterfaces/ public.sdk/ base/ TarnoVersion.h"
  "formats/lv2   formats/lv2/ editor/ engine/ params/"
  "vst3host      vst3host/ pluginterfaces/ public.sdk/ base/"
)
status=0
checked=0
for rule in "${rules[@]}"; do
  read -r folder allowed <<<"$rule"
  while IFS= read -r hit; do
    file=${hit%%:*}
    target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${hit#*:}")
    checked=$((checked + 1))
    ok=0
    for prefix in $allowed; do
      [[ $target == "$prefix"* ]] && ok=1
    done
    # A folder's own subfolders come with it, except where a subfolder has
    # rules of its own, which the loop checks separately.
    if [ $ok -eq 0 ]; then
      echo "$file includes \"$target\", outside what $folder/ may use ($allowed)"
      status=1
    fi
  done < <(grep -rnE '^\s*#\s*include\s+"' "$folder" --include='*.h' --include='*.cpp' |
           sed -E 's/^([^:]+):[0-9]+:/\1:/')
done
# Also the editor's shells: no SDK header and no format anywhere under editor/.
if grep -rnE '#\s*include\s+[<"](pluginterfaces|public\.sdk|base/source)/' editor; then
  echo "editor/ includes a VST 3 SDK header"
  status=1
fi
echo "$checked includes checked"
exit $status
