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
  # a locale with a decimal comma for the parser's locale test
  locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "install-deps: missing packages and not root: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
