#!/usr/bin/env bash
# Installs what stikkel needs to build, run and test (Debian packages), then
# configures and builds it. Sourced by run.sh and test.sh.
set -euo pipefail

STIKKEL_PACKAGES=(
  g++ cmake make pkg-config
  libx11-dev libx11-xcb-dev libxt-dev libxaw7-dev libxmu-dev libgtest-dev
  xvfb twm openbox xdotool x11-utils x11-apps x11-xserver-utils imagemagick
  xfonts-base xfonts-75dpi xfonts-100dpi xfonts-unifont xclip valgrind strace python3-xlib
  libxft-dev libfontconfig-dev fonts-dejavu-core fonts-wqy-microhei fonts-noto-color-emoji
  python3 groff-base man-db desktop-file-utils syncthing
  clang libclang-rt-14-dev
)

stikkel_install_packages() {
  local missing=()
  local pkg
  for pkg in "${STIKKEL_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "stikkel needs these Debian packages; install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# stikkel_build DIR TARGET [cmake options...]   (TARGET "all" builds the tests too)
stikkel_build() {
  local dir=$1 target=$2
  shift 2
  cmake -S "$STIKKEL_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" --target "$target" -j "$(nproc)"
}
