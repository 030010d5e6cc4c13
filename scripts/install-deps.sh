#!/bin/sh
# Installs the Debian 12 packages that building, running and testing Tallybell need. Asks for
# nothing when they are already there. fonts-urw-base35 brings Nimbus Sans, which fontconfig
# gives for "Helvetica": without it the button's caption falls back to a much wider face.
set -eu
packages="build-essential cmake pkg-config qt6-base-dev qt6-multimedia-dev libpulse-dev libgl-dev
          libgtest-dev iproute2 util-linux xvfb xdotool x11-utils imagemagick clang clang-tidy
          clang-format fontconfig fonts-urw-base35"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing:$missing"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
