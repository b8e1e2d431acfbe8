#!/usr/bin/env bash
# The main job: installs what is missing, builds the Linux and Windows
# bundles and their packages (Windows setup and zip, Debian package and
# ~/.vst3 archive), and renders the demo phrase through both bundles (the
# Windows one under Wine), reporting how far the two renders differ.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh linux windows
echo
bash scripts/package.sh linux windows
echo
bash scripts/render-demo.sh
echo
echo "==> editor screenshots from the Windows bundle under Wine"
bash scripts/screenshots.sh build/screenshots
echo
echo "Bundles:"
echo "  build/windows/Tarnovelle.vst3  (the product: Contents/x86_64-win/Tarnovelle.vst3)"
echo "  build/linux/Tarnovelle.vst3    (Contents/x86_64-linux/Tarnovelle.so)"
echo "Packages (README: Installing):"
ls -1 build/linux/packages/*.deb build/linux/packages/*.tar.gz \
      build/windows/packages/*.exe build/windows/packages/*.zip | sed 's/^/  /'
