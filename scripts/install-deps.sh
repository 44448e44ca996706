#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the example need,
# only those that are missing. Needs root (apt-get) when something is missing.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  # window, input, audio
  libsdl2-dev libx11-dev
  # OpenGL through Mesa
  libgl-dev libegl-dev libepoxy-dev libgl1-mesa-dri libegl-mesa0
  # HLSL at run time
  glslang-dev glslang-tools spirv-tools spirv-cross libspirv-cross-c-shared-dev
  # text textures
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  # settings dialog
  libgtk-3-dev
  # end-to-end tests and sanitizer/fuzz builds
  xvfb xdotool x11-utils x11-apps imagemagick
  clang libclang-rt-14-dev
  # format check (scripts/check-format.sh)
  clang-format
  # a locale with a decimal comma for the parser's locale test
  locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null 2>&1; then SUDO="sudo"; fi
need_root() {
  if [ "$(id -u)" -ne 0 ] && [ -z "$SUDO" ]; then
    echo "install-deps: $1 and not root" >&2
    exit 1
  fi
}

if [ ${#missing[@]} -ne 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  need_root "missing packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The parser's locale test needs a locale whose decimal separator is a comma.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "install-deps: generating the de_DE.UTF-8 locale"
  need_root "the de_DE.UTF-8 locale is missing"
  $SUDO sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)$/\1/' /etc/locale.gen
  if ! grep -qx 'de_DE.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi
