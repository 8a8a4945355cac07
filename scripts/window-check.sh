#!/usr/bin/env bash
# The real window, Linux build and Windows build, against the built-in
# keyboard on one X display (scripts/test-windows.sh runs it under
# xvfb-run): the time from start to the mapped main window of each, then
# window_probe --serve drives kbconfig.exe under wine (live numbers,
# screenshot, About from the system menu, OK) and the program must exit with 0.
#   scripts/window-check.sh LINUX_KBCONFIG WINDOWS_BUILD_FOLDER
set -euo pipefail
linux_kbconfig=$1
dir=$2
TITLE="Quindle Keyboard Configuration Utility"
WAIT_MS=15000

work=$dir/window-run
rm -rf "$work" && mkdir -p "$work"
cd "$work"
export KBCONFIG_DEVICE=emulator

# A wineserver that starts its desktop with this display.
wineserver -k > /dev/null 2>&1 || true
wineserver -w
wineserver -p > /dev/null 2>&1
trap 'wineserver -k > /dev/null 2>&1 || true' EXIT
timeout 300 wine cmd /c exit > /dev/null 2>&1

failed=0
# Starts "$@" in the background (its pid in $started) and sets $window_ms
# to the milliseconds until a viewable window with the main window's title
# (empty when none came within WAIT_MS).
start_to_window() {
  local begin now
  begin=$(date +%s%N)
  "$@" > /dev/null 2>&1 &
  started=$!
  window_ms=
  while ((($(date +%s%N) - begin) / 1000000 <= WAIT_MS)); do
    if xwininfo -name "$TITLE" 2> /dev/null | grep -q IsViewable; then
      now=$(date +%s%N)
      window_ms=$(((now - begin) / 1000000))
      return
    fi
    sleep 0.02
  done
}

start_to_window "$linux_kbconfig"
echo "start to window, Linux build under Xvfb: ${window_ms:-none} ms"
kill "$started" 2> /dev/null || true
wait "$started" 2> /dev/null || true
if [[ -z $window_ms ]]; then failed=1; fi

start_to_window wine "$dir/app/kbconfig.exe"
program=$started
echo "start to window, kbconfig.exe under wine: ${window_ms:-none} ms"
if [[ -z $window_ms ]]; then
  echo "FAILED: kbconfig.exe showed no window within $WAIT_MS ms" >&2
  kill "$program" 2> /dev/null || true
  exit 1
fi

# Each step: window_probe's command, the answer it must give, what it shows.
steps=("window 15" ok "main window shown"
  "live" yes "live numbers change"
  "save kbconfig-window.png" ok "screenshot saved"
  "about" ok "the system menu's About opens About, Enter closes it"
  "close" ok "OK closes the main window")
answers=$(for ((i = 0; i < ${#steps[@]}; i += 3)); do echo "${steps[i]}"; done |
  timeout 120 wine "$dir/tests/window_probe.exe" --serve | tr -d '\r') || true
mapfile -t answers <<< "$answers"
for ((i = 0; i < ${#steps[@]}; i += 3)); do
  answer=${answers[i / 3]:-}
  if [[ $answer == "${steps[i + 1]}" ]]; then echo "ok: ${steps[i + 2]}"; else
    echo "FAILED: ${steps[i + 2]}: ${answer:-no answer}" >&2
    failed=1
  fi
done
status=0
timeout 30 tail --pid="$program" -f /dev/null || { kill "$program" 2> /dev/null || true; }
wait "$program" || status=$?
if ((status == 0)); then echo "ok: kbconfig.exe exited with 0"; else
  echo "FAILED: kbconfig.exe exited with $status" >&2
  failed=1
fi
echo "screenshot: $work/kbconfig-window.png"
exit $failed
