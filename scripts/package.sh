#!/usr/bin/env bash
# Makes the installable packages of built trees (target `package`) and
# lists them:
#   windows  build/windows/packages/Tarnovelle-<version>-setup.exe and
#            Tarnovelle-<version>-windows-x64.zip
#   linux    build/linux/packages/tarnovelle_<version>_amd64.deb and
#            Tarnovelle-<version>-linux-x86_64.tar.gz
# Usage: scripts/package.sh [PRESET...] (default: linux windows). Expects the
# presets built (scripts/build.sh). Every preset is attempted; the exit status
# is non-zero if any failed, with the failing step's output above.
set -uo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ "${#presets[@]}" -gt 0 ] || presets=(linux windows)

failed=()
for preset in "${presets[@]}"; do
  echo "==> [$preset] packages"
  if ! cmake --build --preset "$preset" --target package; then
    echo "==> [$preset] packaging FAILED"
    failed+=("$preset")
  fi
done

echo
echo "Packages:"
for preset in "${presets[@]}"; do
  for file in build/"$preset"/packages/*.{exe,zip,deb,tar.gz}; do
    [ -f "$file" ] && printf '  %-58s %8s KB\n' "$file" "$(( ($(stat -c %s "$file") + 1023) / 1024 ))"
  done
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "==> packaging failed for: ${failed[*]}"
  exit 1
fi
