#!/usr/bin/env bash
# Builds both installers and installs, uses and removes each:
#   scripts/test-packages.sh [LINUX_BUILD [WINDOWS_BUILD]]   (build/, build-mingw/)
# The two builds must be configured already (scripts/test.sh and
# scripts/test-windows.sh make them); what they lack is built first. Run as root: the Debian package is
# installed into this machine, and purged again even when a check fails.
# - Debian package: lintian reports no error; after dpkg -i every file is in
#   place, kbconfig-cli --version and show --json run from /usr/bin and
#   man -w finds its page; after dpkg -r none of its files is left.
# - Setup program: installed silently into a wine prefix of its own, with
#   its files, shortcut and uninstall entry (version, size); kbconfig-cli.exe
#   --version and show --json run from the install folder; installed again
#   into another folder, it removes the old folder; the silent uninstall
#   leaves neither the folder nor the uninstall entry nor a key of ours.
# The window's kbconfig.exe and its shortcut are required once the Windows
# build makes it.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=$(realpath "${1:-build}")
windows_build=$(realpath "${2:-build-mingw}")
scripts/install-deps.sh --with-packaging
cmake --build "$linux_build" > /dev/null
cmake --build "$windows_build" > /dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$linux_build/CMakeCache.txt")
failed=0
check() { # description command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what" >&2; failed=1; fi
}
contains() { grep -q -- "$2" <<< "$1"; }
scratch=$(mktemp -d)
cleanup() {
  if dpkg-query -W -f='${Status}' kbconfig 2>/dev/null | grep -q installed; then
    dpkg --purge kbconfig > /dev/null
  fi
  if [[ -n ${WINEPREFIX:-} ]]; then wineserver -k > /dev/null 2>&1 || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
# dpkg, waiting while another package tool holds its lock.
dpkg_wait() {
  local attempt
  for attempt in $(seq 60); do
    if dpkg "$@" 2> "$scratch/dpkg.err"; then return 0; fi
    grep -q "lock" "$scratch/dpkg.err" || { cat "$scratch/dpkg.err" >&2; return 1; }
    sleep 5
  done
  return 1
}
# kbconfig-cli against the built-in keyboard, in a scratch folder and home.
mkdir -p "$scratch/run"
cli() { (cd "$scratch/run" && HOME=$scratch/run KBCONFIG_DEVICE=emulator timeout 120 "$@"); }
cli_works() { # program...: --version names this version; show --json gives the record
  local shown
  check "$* --version" contains "$(cli "$@" --version | tr -d '\r')" "$version"
  shown=$(cli "$@" show --json | tr -d '\r' || true)
  check "$* show --json" contains "$shown" '"IdNumber"'
}

# --- The Debian package ---
SECONDS=0
(cd "$linux_build" && cpack -G DEB) > "$scratch/cpack-deb.log" 2>&1 ||
  { cat "$scratch/cpack-deb.log" >&2; exit 1; }
deb=$linux_build/kbconfig_${version}_amd64.deb
lintian --fail-on error --tag-display-limit 0 "$deb" || { echo "FAILED: lintian" >&2; failed=1; }
deb_files=(
  usr/bin/kbconfig usr/bin/kbconfig-cli usr/bin/Olvane_Help.txt
  usr/share/man/man1/kbconfig.1.gz usr/share/man/man1/kbconfig-cli.1.gz
  usr/share/applications/kbconfig.desktop
  usr/share/icons/hicolor/scalable/apps/kbconfig.svg
  usr/share/metainfo/net.quindle.kbconfig.metainfo.xml
  usr/lib/udev/rules.d/60-kbconfig-keyboards.rules
  usr/share/doc/kbconfig/copyright
)
# Slim machines leave manual pages out of every package; not this one's.
dpkg_wait --path-include='/usr/share/man/man1/kbconfig*' -i "$deb" > /dev/null
for file in "${deb_files[@]}"; do check "installed /$file" test -f "/$file"; done
cli_works /usr/bin/kbconfig-cli
check "man -w finds kbconfig-cli's page" test -n "$(man -w kbconfig-cli 2> /dev/null)"
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' > "$scratch/deb-files"
dpkg_wait -r kbconfig > /dev/null
left=$(while read -r file; do if [[ -e $file ]]; then echo "$file"; fi; done < "$scratch/deb-files")
check "dpkg -r leaves none of the package's files${left:+ (left: $left)}" test -z "$left"
# Only the maintainer scripts stay, for a purge; then nothing is left.
dpkg_wait --purge kbconfig > /dev/null
check "dpkg --purge leaves no trace in dpkg's database" \
  test -z "$(dpkg-query -W -f='${Status}' kbconfig 2>/dev/null | grep -v not-installed)"
echo "Debian package: $(stat -c %s "$deb") bytes, checked in ${SECONDS}s"

# --- The Windows setup program ---
SECONDS=0
(cd "$windows_build" && cpack -G NSIS) > "$scratch/cpack-nsis.log" 2>&1 ||
  { cat "$scratch/cpack-nsis.log" >&2; exit 1; }
setup=$windows_build/kbconfig-${version}-win64-setup.exe
export WINEPREFIX=$scratch/wine WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" # no menus on this machine
mkdir -p "$WINEPREFIX"
drive=$WINEPREFIX/drive_c
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Quindle/Quindle Keyboard Configuration Utility.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\kbconfig'
setup_files=(bin/kbconfig-cli.exe bin/Olvane_Help.txt kbconfig.ico Uninstall.exe)
if [[ -f $windows_build/app/kbconfig.exe ]]; then setup_files+=(bin/kbconfig.exe); fi
no_key() { ! wine reg query "$1" > /dev/null 2>&1; }
wine_wait() { # program arguments...: runs it and waits for every process it starts
  local status=0
  wine "$@" > /dev/null 2>&1 || status=$?
  wineserver -w # the uninstaller, for one, runs from a copy in the temporary folder
  check "${1##*/} ${*:2} exits 0 (got $status)" test "$status" -eq 0
}
uninstall() { # folder
  wine_wait "$1/Uninstall.exe" /S
  check "uninstall removes the folder" test ! -e "$1"
  check "uninstall removes the shortcuts" test ! -e "$(dirname "$shortcut")"
  check "uninstall removes the uninstall entry" no_key "$key"
  check "uninstall leaves no key of ours" no_key 'HKLM\Software\Quindle'
}

# Into Program Files, as the setup program chooses.
wine_wait "$setup" /S
folder="$drive/Program Files/kbconfig"
for file in "${setup_files[@]}"; do check "installed $file" test -f "$folder/$file"; done
# The VM test's cfgmgr32.dll stands in for a system library: never shipped.
check "the test-only cfgmgr32.dll is not installed" test -z "$(find "$folder" -iname cfgmgr32.dll)"
if [[ -f $windows_build/app/kbconfig.exe ]]; then
  check "Start-menu shortcut for the window" test -f "$shortcut"
fi
entry=$(wine reg query "$key" | tr -d '\r' || true)
check "uninstall entry with its version" contains "$entry" "DisplayVersion.*REG_SZ.*$version"
check "uninstall entry with its size" contains "$entry" 'EstimatedSize.*REG_DWORD.*0x[0-9a-f]*[1-9a-f]'
check "uninstall entry with its icon" contains "$entry" 'DisplayIcon.*kbconfig\.ico'
path=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH | tr -d '\r')
check "PATH left alone unless asked" test "${path/kbconfig/}" = "$path"
cli_works wine "$folder/bin/kbconfig-cli.exe"
uninstall "$folder"

# Into a folder of the caller's choice, then into another: the second
# install takes the first one's place, uninstaller and all.
wine_wait "$setup" /S '/D=C:\Tools\kb'
check "/D= installs into its folder" test -f "$drive/Tools/kb/bin/kbconfig-cli.exe"
wine_wait "$setup" /S '/D=C:\Tools\kb2'
left=$(find "$drive/Tools/kb" -mindepth 1 -printf ' %P' 2> /dev/null || true)
check "installing into another folder removes the old one${left:+ (left:$left)}" \
  test ! -e "$drive/Tools/kb"
check "/D= installs into the other folder" test -f "$drive/Tools/kb2/bin/kbconfig-cli.exe"
uninstall "$drive/Tools/kb2"
echo "setup program: $(stat -c %s "$setup") bytes, checked in ${SECONDS}s"
exit $failed
