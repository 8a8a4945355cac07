#!/usr/bin/env bash
# Start-up benchmark of the window program against a bare Qt dialog (one
# label, one button; bench/bare_dialog.cpp) built the same way: the Linux
# build against Debian's Qt, and the Windows build (static Qt) under wine,
# on an Xvfb display of its own. PAIRS alternating pairs (bare dialog, then
# kbconfig) per build, each timed from start to its window mapped, and to
# its window first drawn (more than its background), by bench/window_timer,
# which also reads the peak memory one second later. Prints the medians and
# the ratios. A measurement, not a test.
#   bench/startup-benchmark.sh [PAIRS]
# KBCONFIG_LINUX_BUILD (default build/) and KBCONFIG_WINDOWS_BUILD (default
# build-mingw/, made by scripts/test-windows.sh) are the build folders; with
# KBCONFIG_BENCH_LINUX_ONLY=1 the Windows build is left out.
set -euo pipefail
cd "$(dirname "$0")/.."
PAIRS=${1:-11}
TITLE="Quindle Keyboard Configuration Utility"
BARE_TITLE="Bare dialog"
SETTLE_MS=1000

if [[ -z ${KBCONFIG_BENCH_DISPLAY:-} ]]; then
  export KBCONFIG_BENCH_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

linux=$(realpath "${KBCONFIG_LINUX_BUILD:-build}")
cmake --build "$linux" --target kbconfig bare_dialog window_timer > /dev/null
timer=$linux/bench/window_timer
programs=(linux)
if [[ ${KBCONFIG_BENCH_LINUX_ONLY:-0} != 1 ]]; then
  windows=$(realpath "${KBCONFIG_WINDOWS_BUILD:-build-mingw}")
  cmake --build "$windows" --target kbconfig bare_dialog > /dev/null
  export WINEPREFIX=$windows/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  wineserver -k > /dev/null 2>&1 || true
  wineserver -w
  wineserver -p > /dev/null 2>&1 || true # persistent, so that each start finds it
  trap 'wineserver -k > /dev/null 2>&1 || true' EXIT
  timeout 300 wine cmd /c exit > /dev/null 2>&1
  programs+=(windows)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"; wineserver -k > /dev/null 2>&1 || true' EXIT
cd "$work" # the programs start where nothing of theirs is

run() { # platform bare|kbconfig: appends "<ms> <peak KiB>" to its results file
  local title=$TITLE command
  case $1-$2 in
    linux-bare) command=("$linux/bench/bare_dialog" "$BARE_TITLE") ;;
    linux-kbconfig) command=("$linux/app/kbconfig") ;;
    windows-bare) command=(wine "$windows/bench/bare_dialog.exe" "$BARE_TITLE") ;;
    windows-kbconfig) command=(wine "$windows/app/kbconfig.exe") ;;
  esac
  [[ $2 == bare ]] && title=$BARE_TITLE
  "$timer" "$title" "$SETTLE_MS" -- "${command[@]}" >> "$work/$1-$2"
}

for platform in "${programs[@]}"; do # a first start of each warms the caches
  run "$platform" bare && run "$platform" kbconfig
  rm -f "$work/$platform-bare" "$work/$platform-kbconfig"
done
for ((i = 0; i < PAIRS; i++)); do
  for platform in "${programs[@]}"; do
    run "$platform" bare
    run "$platform" kbconfig
  done
done

median() { # file column
  cut -d' ' -f"$2" "$1" | sort -g | awk '{ v[NR] = $1 } END {
    print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
echo "$PAIRS pairs, start to window mapped and to first drawn (medians), peak memory (median, ${SETTLE_MS} ms after)"
for platform in "${programs[@]}"; do
  bare_ms=$(median "$work/$platform-bare" 1)
  app_ms=$(median "$work/$platform-kbconfig" 1)
  bare_kib=$(median "$work/$platform-bare" 2)
  app_kib=$(median "$work/$platform-kbconfig" 2)
  bare_drawn=$(median "$work/$platform-bare" 3)
  app_drawn=$(median "$work/$platform-kbconfig" 3)
  memory=$([[ $platform == linux ]] && echo "peak RSS" || echo "peak working set")
  awk -v p="$platform" -v bm="$bare_ms" -v am="$app_ms" -v bk="$bare_kib" -v ak="$app_kib" \
    -v mem="$memory" -v bd="$bare_drawn" -v ad="$app_drawn" 'BEGIN {
      printf "%-8s bare dialog %7.1f ms   kbconfig %7.1f ms   ratio %.2f\n", p, bm, am, am / bm
      printf "%-8s first drawn: bare dialog %7.1f ms   kbconfig %7.1f ms   ratio %.2f\n", "",
        bd, ad, ad / bd
      printf "%-8s %s: bare dialog %6.1f MiB   kbconfig %6.1f MiB   ratio %.2f\n", "", mem,
        bk / 1024, ak / 1024, ak / bk }'
  echo "  all ms, bare: $(cut -d' ' -f1 "$work/$platform-bare" | tr '\n' ' ')"
  echo "  all ms, kbconfig: $(cut -d' ' -f1 "$work/$platform-kbconfig" | tr '\n' ' ')"
done
