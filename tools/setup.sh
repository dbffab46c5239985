#!/usr/bin/env bash
# Installs the Debian packages the game and its tests need, when any is missing.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build pkg-config python3
  libglfw3-dev liblua5.4-dev rapidjson-dev libfreetype-dev libstb-dev zlib1g-dev libzstd-dev
  libgl1-mesa-dev libgl1-mesa-dri python3-glad
  libopenal-dev libsndfile1-dev
  googletest libgtest-dev lua5.4
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-apps imagemagick
  fonts-dejavu-core
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
