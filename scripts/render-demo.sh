#!/usr/bin/env bash
# Renders the demo phrase (demo/demo.mid) through the Linux bundle and,
# under Wine, through the Windows bundle, with two sets of sound settings,
# and reports how far each Linux and Windows render pair differs.
# Expects build/linux and build/windows to be built. Output: build/demo/.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=build/demo
mkdir -p "$out"

render_linux=build/linux/tools/tarnovelle-render
render_windows=build/windows/tools/tarnovelle-render.exe
wavdiff=build/linux/tools/tarnovelle-wavdiff

source scripts/wine-env.sh

# Two sound settings: a soft reed with slow attack and light vibrato, and a
# gliding lead with tremolo.
soft_reed=(--set "Square=12" --set "Triangle=70" --set "Sine=50" --set "Attack=211.86"
           --set "Release=1103.9" --set "Vibrato depth=14" --set "Glissando=120")
glide=(--set "Square=65" --set "Triangle=20" --set "Sine=20" --set "Glissando=500"
       --set "Vibrato depth=12" --set "Tremolo depth=15")

status=0
for name in soft-reed glide; do
  if [ "$name" = soft-reed ]; then settings=("${soft_reed[@]}"); else settings=("${glide[@]}"); fi
  echo "==> demo '$name' through the Linux bundle"
  "$render_linux" --quiet --rate 48000 --tail 2 "${settings[@]}" \
    build/linux/Tarnovelle.vst3 demo/demo.mid "$out/demo-$name-linux.wav" || status=1
  echo "==> demo '$name' through the Windows bundle under Wine"
  wine "$render_windows" --quiet --rate 48000 --tail 2 "${settings[@]}" \
    build/windows/Tarnovelle.vst3 demo/demo.mid "$out/demo-$name-windows.wav" </dev/null || status=1
  echo -n "==> Linux against Windows: "
  "$wavdiff" --tolerance 1e-6 "$out/demo-$name-linux.wav" "$out/demo-$name-windows.wav" || status=1
done
wineserver -w
echo "renders in $out/"
exit $status
