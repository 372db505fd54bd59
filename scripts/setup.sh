#!/usr/bin/env bash
# Installs everything Tessivar needs to build, run and test on Debian 12.
# Safe to run again; does nothing that is already done.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make pkg-config ninja-build dpkg-dev file
  qt6-base-dev qt6-translations-l10n libgtest-dev
  fonts-ipafont-gothic fonts-wine xdg-utils desktop-file-utils
  librsvg2-bin
  mdbtools
  locales  # ja_JP data the Shift_JIS settings-file and batch-file tests compile with localedef
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick
  lintian appstream  # the package's checks: lintian on the .deb, appstreamcli on its metadata
)

missing=()
# The machine's Node.js may come with its own npm; Debian's npm would clash with it.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The reader oracles the tests compare against (an npm package).
shared="${TESSIVAR_SHARED_DIR:-$PWD/../shared}"
if [ -f "$shared/oracles/package.json" ] && [ ! -d build/oracles/node_modules/mdb-reader ]; then
  mkdir -p build/oracles
  cp "$shared"/oracles/package*.json build/oracles/
  npm ci --prefix build/oracles --no-audit --no-fund --loglevel=error
fi
