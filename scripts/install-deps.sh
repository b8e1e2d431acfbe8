#!/usr/bin/env bash
# Installs everything Tarnovelle needs to build and test on Debian 12.
# Safe to run again: packages already present are skipped by apt-get.
set -euo pipefail

packages=(
  cmake make g++ clang llvm libclang-rt-14-dev
  juce-modules-source-data
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine64 wine xvfb xauth
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev pkg-config libxcb1-dev libxkbcommon-x11-dev
  # the one font family Wine and Cairo draw the editor's texts with
  fonts-dejavu-core
  libx11-dev libxtst-dev libxdamage-dev
  locales
  # the Windows setup (makensis), the .deb's dependencies and its check
  nsis dpkg-dev file lintian
  # the standalone player: JACK (a real server for its tests) and ALSA
  jackd2 libjack-jackd2-dev libasound2-dev
  # the LV2 plug-in: its headers, and lv2_validate (with sordi), lilv and
  # jalv, the hosts its tests load it in
  lv2-dev sordi liblilv-dev jalv
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update
  $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"
fi

# A decimal-comma locale, for the tests that check value texts do not follow
# the host process's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
