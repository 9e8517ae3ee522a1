#!/usr/bin/env bash
# Installs the Debian packages the game needs to build, run and test.
# Idempotent: when everything is present it does nothing and says nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev
  libsimpleini-dev libcurl4-openssl-dev libjpeg62-turbo-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick fonts-liberation2 openbox x11-utils
  desktop-file-utils appstream man-db iproute2 util-linux
  qt6-qpa-plugins libbenchmark-dev liblz4-dev
  dbus at-spi2-core python3-pyatspi
  libminiupnpc-dev libnatpmp-dev
)
# The hand-run router trial (scripts/router-trial.sh) also needs a real UPnP
# daemon; it is installed only when asked for: setup-deps.sh --router-trial
if [ "${1:-}" = "--router-trial" ]; then
  PACKAGES+=(miniupnpd-nftables nftables)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
