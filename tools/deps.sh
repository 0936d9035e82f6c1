#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# but only those that are missing.  Uses sudo when not run as root.
set -euo pipefail
packages=(
  cmake ninja-build g++ make pkg-config python3
  googletest libgtest-dev libbenchmark-dev
  qt6-base-dev libgl-dev libjpeg62-turbo-dev libx11-dev
  clang libclang-rt-14-dev
  ffmpeg imagemagick poppler-utils xvfb xauth shared-mime-info fonts-dejavu-core fonts-liberation
  libxml2-utils chromium strace
  libnoise-dev
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
