#!/usr/bin/env bash
# Installs what is missing, builds, and starts the utility.
# Without KBCONFIG_DEVICE set it talks to the built-in keyboard; set
# KBCONFIG_DEVICE=hid to use a real keyboard. Arguments go to the program
# (for example TEST for the service functions).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh plain kbconfig > /dev/null

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "No display found: start this from a desktop session, or run it under xvfb-run." >&2
  exit 1
fi
export KBCONFIG_DEVICE="${KBCONFIG_DEVICE-emulator}"
exec build/app/kbconfig "$@"
