#!/usr/bin/env bash
# Cross-builds everything for 64-bit Windows with MinGW-w64 (the window
# against a static Qt, unpacked from ../shared/qt6-mingw/ or else built from
# Debian's source), and runs it under wine: the tests through CTest, the
# widget tests offscreen; kbconfig-cli's show --json, save and apply against
# the built-in keyboard, whose saved file must equal, byte for byte, what the
# Linux build saves; then the real window under Xvfb (scripts/window-check.sh);
# then both programs against the kernel's uhid keyboard through wine's HID
# services in a VM (tests/vm-windows). Exits 77 only when wine cannot be
# installed.
#   scripts/test-windows.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
dir=$top/build-mingw

if ! scripts/install-deps.sh --with-windows; then
  if ! command -v wine > /dev/null; then
    echo "wine cannot be installed: the Windows run is skipped" >&2
    exit 77
  fi
  exit 1
fi

source scripts/debian-source.sh
mkdir -p "$dir"

# The static Qt: the prebuilt archive when there is one, else built here.
QT_ARCHIVE=${KBCONFIG_QT_MINGW_ARCHIVE:-$top/../shared/qt6-mingw/qt6.4.2-mingw-w64-static.tar.xz}
qt=$dir/qt6-mingw-static
if [[ ! -f $qt/lib/cmake/Qt6/qt.toolchain.cmake ]]; then
  if [[ -f $QT_ARCHIVE ]]; then
    tar -C "$dir" -xJf "$QT_ARCHIVE"
  else
    echo "$QT_ARCHIVE is not there: building Qt (about 25 minutes)" >&2
    scripts/build-qt-mingw.sh "$dir"
  fi
fi

# hidapi's own Windows backend, from Debian's hidapi source package.
hidapi=$dir/hidapi-source
if [[ ! -f $hidapi/windows/hid.c ]]; then
  debian_source "$dir/apt" hidapi "$hidapi"
fi

# rapidcheck, for the generated tests: Debian builds it for Linux only, and
# of its sources only the newer release's upstream tarball can be had here.
RAPIDCHECK_SUITE=trixie
rapidcheck=$dir/rapidcheck
if [[ ! -f $rapidcheck/include/rapidcheck.h ]]; then
  tarball=$(upstream_tarball "$dir/apt-rapidcheck" "$RAPIDCHECK_SUITE" rapidcheck)
  rm -rf "$dir/rapidcheck-source" "$dir/rapidcheck-build" && mkdir -p "$dir/rapidcheck-source"
  tar -C "$dir/rapidcheck-source" -xJf "$tarball"
  cmake -S "$dir/rapidcheck-source" -B "$dir/rapidcheck-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DRC_ENABLE_GTEST=ON -DCMAKE_INSTALL_PREFIX="$rapidcheck" > /dev/null
  cmake --build "$dir/rapidcheck-build"
  cmake --install "$dir/rapidcheck-build" > /dev/null
fi

# Qt's toolchain file puts Qt on the search path, then loads ours. A folder
# configured with another toolchain file is configured anew.
toolchain=$qt/lib/cmake/Qt6/qt.toolchain.cmake
if [[ -f $dir/CMakeCache.txt ]] && ! grep -q "^CMAKE_TOOLCHAIN_FILE:.*=$toolchain\$" "$dir/CMakeCache.txt"; then
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKBCONFIG_BUILD_UI=ON -DKBCONFIG_HIDAPI_SOURCE="$hidapi" \
  -Drapidcheck_DIR="$(dirname "$(find "$rapidcheck" -name rapidcheckConfig.cmake | head -n 1)")" \
  > /dev/null
cmake --build "$dir"

# A wine prefix of our own. wineserver is started before CTest, with its
# output away from CTest's pipes: otherwise every test waits for it.
export WINEPREFIX=$dir/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX" # wineserver starts in it
wineserver -p > /dev/null 2>&1 || true # one may be running already
timeout 300 wine cmd /c exit > /dev/null 2>&1
trap 'wineserver -k > /dev/null 2>&1 || true' EXIT
# The widget tests run offscreen; wine passes WINEQT_ variables on as QT_ ones.
# The generated scenarios: a tenth of them, as in the sanitizer passes.
export WINEQT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu
export RC_PARAMS="${RC_PARAMS:-max_success=1000}"
# A test whose wine start fails (seen once: no output at all, 0.01 s) runs
# once more; a test that fails twice still fails the pass.
(cd "$dir" && ctest --output-on-failure --timeout 300 --repeat until-pass:2 "$@")

# kbconfig-cli against the built-in keyboard, here and under wine, in the
# same steps: show --json, save, apply (and store) a settings file with other values,
# save again. Every saved file must be equal byte for byte.
# KBCONFIG_LINUX_BUILD: a configured Linux build folder to use instead of build/.
if [[ -n ${KBCONFIG_LINUX_BUILD:-} ]]; then
  cmake --build "$KBCONFIG_LINUX_BUILD" --target kbconfig-cli > /dev/null
  cmake --build "$KBCONFIG_LINUX_BUILD" --target kbconfig > /dev/null
  linux_build=$(realpath "$KBCONFIG_LINUX_BUILD")
else
  scripts/build.sh plain kbconfig-cli > /dev/null
  linux_build=$top/$(scripts/build.sh plain kbconfig | tail -n 1)
fi
linux_cli=$linux_build/cli/kbconfig-cli
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
# kbconfig.exe is a GUI program (no console window), kbconfig-cli.exe a
# console one.
subsystem() { # program expected
  x86_64-w64-mingw32-objdump -p "$1" | grep "^Subsystem" | grep -qF "($2)"
}
check "kbconfig.exe is a GUI program" subsystem "$dir/app/kbconfig.exe" "Windows GUI"
check "kbconfig-cli.exe is a console program" subsystem "$windows_cli" "Windows CUI"
# Its version information (UTF-16 text) and manifest are linked in.
check "kbconfig.exe has its product name" grep -qx "Quindle Keyboard Configuration Utility" \
  <(strings -e l "$dir/app/kbconfig.exe")
for text in PerMonitorV2 Microsoft.Windows.Common-Controls; do
  check "kbconfig.exe's manifest has $text" grep -q "$text" "$dir/app/kbconfig.exe"
done
x86_64-w64-mingw32-strip -o "$dir/kbconfig-stripped.exe" "$dir/app/kbconfig.exe"
echo "kbconfig.exe stripped: $(stat -c %s "$dir/kbconfig-stripped.exe") bytes"

# The real window, on a display of its own.
wineserver -k > /dev/null 2>&1 || true
wineserver -w
check "the real window" xvfb-run -a -s "-screen 0 1280x1024x24" \
  scripts/window-check.sh "$linux_build/app/kbconfig" "$dir"

# kbconfig-cli.exe and kbconfig.exe against the kernel's uhid keyboard,
# through wine's own HID services, in a VM (tests/vm-windows/README.md).
if ! scripts/install-deps.sh --with-vm && ! command -v qemu-system-x86_64 > /dev/null; then
  echo "SKIPPED: the Windows build on a real HID stack: qemu cannot be installed"
else
  cmake --build "$linux_build" --target kb_vm_windows_test kb_uhid_keyboard > /dev/null
  status=0
  bash tests/vm-windows/run-vm-windows-test.sh --test "$linux_build/tests/kb_vm_windows_test" \
    --front "$linux_build/emulator/uhid/kb_uhid_keyboard" --cli "$linux_cli" --windows "$dir" \
    --cache "$linux_build/vm-cache" --work "$dir/vm-windows-run" || status=$?
  if ((status == 77)); then
    echo "SKIPPED: the Windows build on a real HID stack (see the lines above)"
  else
    check "the Windows build on a real HID stack (exit $status)" test "$status" -eq 0
  fi
fi
exit $failed
