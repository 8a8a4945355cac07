#!/usr/bin/env bash
# Cross-builds the widget-free libraries, the built-in keyboard, their tests
# and kbconfig-cli for 64-bit Windows with MinGW-w64, and runs them under wine:
# the tests through CTest, then kbconfig-cli's show --json, save and apply
# against the built-in keyboard, whose saved file must equal, byte for byte,
# what the Linux build saves. Exits 77 only when wine cannot be installed.
#   scripts/test-windows.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
dir=$top/build-mingw

PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 wine dpkg-dev)
missing=()
for pkg in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if ((${#missing[@]} > 0)); then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq || true
  if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    if ! command -v wine > /dev/null; then
      echo "wine cannot be installed: the Windows run is skipped" >&2
      exit 77
    fi
    exit 1
  fi
fi

# hidapi's own Windows backend, from Debian's hidapi source package. A source
# entry for the archive this machine uses, with lists of its own, so that the
# machine's package lists stay as they are.
hidapi=$dir/hidapi-source
if [[ ! -f $hidapi/windows/hid.c ]]; then
  apt_dir=$dir/apt
  rm -rf "$apt_dir" && mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/get"
  {
    if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
      sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources
    fi
    if [[ -f /etc/apt/sources.list ]]; then
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list
    fi
  } > "$apt_dir/sources.list.d/source.sources"
  apt_options=(-o "Dir::Etc::SourceParts=$apt_dir/sources.list.d" -o "Dir::Etc::SourceList=/dev/null"
               -o "Dir::State::Lists=$apt_dir/lists")
  apt-get "${apt_options[@]}" update -qq
  (cd "$apt_dir/get" && apt-get "${apt_options[@]}" source -qq hidapi > /dev/null)
  rm -rf "$hidapi"
  mv "$(find "$apt_dir/get" -mindepth 1 -maxdepth 1 -type d -name 'hidapi-*' | head -n 1)" "$hidapi"
fi

cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKBCONFIG_BUILD_UI=OFF -DKBCONFIG_HIDAPI_SOURCE="$hidapi" > /dev/null
cmake --build "$dir"

# A wine prefix of our own. wineserver is started before CTest, with its
# output away from CTest's pipes: otherwise every test waits for it.
export WINEPREFIX=$dir/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX" # wineserver starts in it
wineserver -p > /dev/null 2>&1
timeout 300 wine cmd /c exit > /dev/null 2>&1
trap 'wineserver -k > /dev/null 2>&1 || true' EXIT
(cd "$dir" && ctest --output-on-failure --timeout 300 "$@")

# kbconfig-cli against the built-in keyboard, here and under wine, in the
# same steps: show --json, save, apply (and store) a settings file with other values,
# save again. Every saved file must be equal byte for byte.
# KBCONFIG_LINUX_BUILD: a configured Linux build folder to use instead of build/.
if [[ -n ${KBCONFIG_LINUX_BUILD:-} ]]; then
  cmake --build "$KBCONFIG_LINUX_BUILD" --target kbconfig-cli > /dev/null
  linux_cli=$(realpath "$KBCONFIG_LINUX_BUILD")/cli/kbconfig-cli
else
  linux_cli=$top/$(scripts/build.sh plain kbconfig-cli | tail -n 1)/cli/kbconfig-cli
fi
windows_cli=$dir/cli/kbconfig-cli.exe
work=$dir/cli-run
rm -rf "$work" && mkdir -p "$work/linux" "$work/windows"
export LC_ALL=C.UTF-8 # wine hands the arguments to the program as UTF-8
non_ascii=$(printf 'Tastatur-\u00C4\u6F22.set') # a name outside every ANSI code page
cli() { # folder program arguments...
  local folder=$1
  shift
  (cd "$folder" && KBCONFIG_DEVICE=emulator KBCONFIG_EMULATOR_STATE=state timeout 120 "$@")
}
steps() { # folder program...
  local folder=$1
  shift
  cli "$folder" "$@" show --json | tr -d '\r' > "$folder/show.json"
  cli "$folder" "$@" save saved.set > /dev/null
  if [[ ! -f $work/applied.set ]]; then # other values than the keyboard's
    sed -e 's/^60 LowThreshold/75 LowThreshold/' -e 's/^0 PowerOnWipe/1 PowerOnWipe/' \
      "$folder/saved.set" > "$work/applied.set"
  fi
  cli "$folder" "$@" apply "$work/applied.set" --store > /dev/null
  cli "$folder" "$@" save "$non_ascii" > /dev/null
}
failed=0
check() { # description command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; failed=1; fi
}
steps "$work/linux" "$linux_cli"
steps "$work/windows" wine "$windows_cli"
differ() { ! cmp -s "$1" "$2"; }
check "the applied file has other values" differ "$work/applied.set" "$work/linux/saved.set"
for folder in linux windows; do
  check "$folder: apply changed the keyboard" cmp -s "$work/applied.set" "$work/$folder/$non_ascii"
done
for file in show.json saved.set "$non_ascii"; do
  check "$file equal" cmp "$work/linux/$file" "$work/windows/$file"
done

# hidapi's Windows backend under wine: wine's cfgmgr32 lacks a function
# hidapi needs, so it does not start. That must read as "no keyboard" (2).
status=0
(cd "$work/windows" && timeout 120 wine "$windows_cli" list > list.out 2> list.err) || status=$?
check "list without the built-in keyboard exits 2 (got $status: $(tr -d '\r' < "$work/windows/list.err"))" \
  test "$status" -eq 2
exit $failed
