#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test.
# Does nothing (and needs no network) when everything is already installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libxkbcommon-dev libgl-dev
  libhidapi-dev libudev-dev
  libcli11-dev nlohmann-json3-dev help2man
  libgtest-dev libgmock-dev libbenchmark-dev librapidcheck-dev
  xvfb xauth fonts-dejavu-core
)
# Extra packages for the test that boots a small VM with a real HID stack.
if [[ " $* " == *" --with-vm "* ]]; then
  PACKAGES+=(qemu-system-x86 busybox-static xz-utils cpio)
fi
# Extra packages for CI's other checks: the fuzzers (clang's libFuzzer) and
# the validation of the desktop entry and the AppStream metainfo.
if [[ " $* " == *" --with-ci "* ]]; then
  PACKAGES+=(clang desktop-file-utils appstream)
fi

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
