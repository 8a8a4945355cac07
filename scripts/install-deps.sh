#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test, and
# those of the optional groups named. Does nothing (and needs no network)
# when everything is already installed.
#   scripts/install-deps.sh [--with-vm] [--with-ci] [--with-windows]
#                           [--with-qt-source] [--with-packaging]
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libxkbcommon-dev libgl-dev libfontconfig-dev
  libhidapi-dev libudev-dev
  libcli11-dev nlohmann-json3-dev help2man
  libgtest-dev libgmock-dev libbenchmark-dev librapidcheck-dev
  xvfb xauth fonts-dejavu-core
)
for group in "$@"; do
  case $group in
    # The test that boots a small VM with a real HID stack.
    --with-vm) PACKAGES+=(qemu-system-x86 busybox-static xz-utils cpio) ;;
    # CI's other checks: the fuzzers (clang's libFuzzer) and the validation
    # of the desktop entry, the AppStream metainfo and its screenshot.
    --with-ci) PACKAGES+=(clang desktop-file-utils appstream file) ;;
    # The Windows cross-build, run under wine, and the real window under Xvfb
    # (libxcb1-dev: the start-up benchmark's window timer).
    --with-windows) PACKAGES+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 wine
                               dpkg-dev x11-utils libxcb1-dev) ;;
    # Building the static Qt for Windows from Debian's source.
    --with-qt-source) PACKAGES+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
                                 qt6-base-dev-tools dpkg-dev) ;;
    # Making, checking and installing the two packages.
    --with-packaging) PACKAGES+=(dpkg-dev lintian man-db nsis) ;;
    *) echo "unknown group: $group" >&2; exit 1 ;;
  esac
done

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
$SUDO apt-get update -qq || echo "apt-get update failed; going on with the lists there are" >&2
$SUDO apt-get install -y -qq -o DPkg::Lock::Timeout=300 --no-install-recommends "${missing[@]}"
