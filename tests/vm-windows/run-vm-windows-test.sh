#!/bin/bash
# The Windows build on a real HID stack: boots Debian's kernel in qemu with
# the host's root shared read-only, and runs kbconfig-cli.exe and kbconfig.exe
# under the host's wine against the uhid keyboard, through wine's own HID
# services (winebus on the hidraw nodes, hidclass, SetupAPI, HidD_*).
#
#   run-vm-windows-test.sh --test PROGRAM --front PROGRAM --cli PROGRAM
#                          --windows BUILD_FOLDER [--cache DIR] [--work DIR]
#                          [--instead SCRIPT]
#
# --test: kb_vm_windows_test (runs in the VM); --front: kb_uhid_keyboard;
# --cli: the Linux kbconfig-cli, timed beside the Windows one;
# --windows: the MinGW build folder. The screenshots and the programs' output
# are left in WORK/out. --instead runs a bash SCRIPT in the VM in place of
# the test, with the same set-up (for finding out what wine does).
# Exit codes: 0 passed, 77 skipped (no qemu, no wine, or no kernel package to
# be had), anything else failed.
set -euo pipefail

SKIP=77
cache="" work="" test_program="" front_program="" cli_program="" windows="" instead=""
while [ $# -gt 0 ]; do
    case "$1" in
        --cache) cache="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --test) test_program="$2"; shift 2 ;;
        --front) front_program="$2"; shift 2 ;;
        --cli) cli_program="$2"; shift 2 ;;
        --windows) windows="$2"; shift 2 ;;
        --instead) instead="$(realpath "$2")"; shift 2 ;;
        *) echo "usage: $0 --test P --front P --cli P --windows DIR [--cache DIR] [--work DIR]" >&2
           exit 2 ;;
    esac
done
here="$(cd "$(dirname "$0")" && pwd)"
log() { echo "vm-windows-test: $*"; }
command -v qemu-system-x86_64 >/dev/null || { log "qemu-system-x86_64 not installed: skipped"; exit $SKIP; }
command -v wine >/dev/null || { log "wine not installed: skipped"; exit $SKIP; }
for tool in busybox cpio xz dpkg-deb Xvfb x86_64-w64-mingw32-strip; do
    command -v "$tool" >/dev/null || { log "$tool not installed"; exit 1; }
done
exes=(app/kbconfig.exe cli/kbconfig-cli.exe tests/window_probe.exe tests/vm-windows/cfgmgr32.dll)
for program in "$test_program" "$front_program" "$cli_program" "${exes[@]/#/$windows/}"; do
    [ -f "$program" ] || { log "$program missing"; exit 2; }
done
cache="$(realpath -m "${cache:-$PWD/vm-cache}")"
work="$(realpath -m "${work:-$PWD/vm-windows-run}")"
mkdir -p "$cache"

source "$here/../vm/vm-common.sh"
vm_kernel "$cache" || exit $?

# udevd, which wine's winebus needs to see hidraw nodes come and go: unpacked
# from Debian's package (with its private library), not installed here.
udev="$cache/udev-root"
if [ ! -x "$udev/lib/systemd/systemd-udevd" ]; then
    log "fetching udev"
    rm -rf "$udev.tmp" && mkdir -p "$udev.tmp"
    (cd "$udev.tmp" && apt-get download udev libsystemd-shared >/dev/null 2>&1) ||
        { rm -rf "$udev.tmp"; log "cannot download udev"; exit 1; }
    for deb in "$udev.tmp"/*.deb; do dpkg-deb -x "$deb" "$udev.tmp/root"; done
    # udevd is udevadm by another name, linked with an absolute path.
    ln -sfn ../../bin/udevadm "$udev.tmp/root/lib/systemd/systemd-udevd"
    rm -rf "$udev" && mv "$udev.tmp/root" "$udev" && rm -rf "$udev.tmp"
fi

# The wine prefix, made here (113 s inside the VM, a few seconds here) and
# overlaid writable in the VM. winebus reads hidraw only with its SDL bus
# off; its evdev bus is off too: wine 8's udev thread dies when an input
# device without a device node goes away, and then sees no more plug-ins.
prefix="$cache/wine-prefix"
made="$(wine --version) sdl=0 input=0 aedebug"
if [ "$(cat "$prefix/.kbvm-made" 2>/dev/null)" != "$made" ]; then
    log "making the wine prefix"
    rm -rf "$prefix" && mkdir -p "$prefix"
    (
        export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        timeout 300 wineboot -i >/dev/null 2>&1
        key='HKLM\System\CurrentControlSet\Services\winebus'
        timeout 120 wine reg add "$key" /v "Enable SDL" /t REG_DWORD /d 0 /f >/dev/null 2>&1
        timeout 120 wine reg add "$key" /v "DisableInput" /t REG_DWORD /d 1 /f >/dev/null 2>&1
        # A program that crashes prints its stack to its output, no dialog.
        key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
        timeout 120 wine reg add "$key" /v Debugger /d "winedbg --auto %ld %ld" /f >/dev/null 2>&1
        timeout 120 wine reg add "$key" /v Auto /d 1 /f >/dev/null 2>&1
        timeout 120 wineserver -w
    )
    echo "$made" > "$prefix/.kbvm-made"
fi

# --- the initramfs and what the VM reads ----------------------------------
rm -rf "$work"
root="$work/root"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,lib/modules} "$work/win" "$work/out"
cp "$(command -v busybox)" "$root/bin/busybox"
cp "$here/init" "$root/init"
vm_modules "$root" hid uhid hid-generic virtio virtio_ring virtio_pci_modern_dev \
    virtio_pci_legacy_dev virtio_pci netfs fscache 9pnet 9pnet_virtio 9p overlay
(cd "$root" && find . | cpio -o -H newc --quiet) > "$work/initramfs.cpio"
for program in "${exes[@]}"; do # without their debugging sections: 9p reads them slowly
    x86_64-w64-mingw32-strip -o "$work/win/${program##*/}" "$windows/$program"
done
cat > "$work/vm.conf" <<CONF
udev_root='$udev'
prefix_lower='$prefix'
windows_programs='$work/win'
test_program='$(realpath "$test_program")'
front_program='$(realpath "$front_program")'
cli_program='$(realpath "$cli_program")'
instead='$instead'
CONF

# A plain CPU with SSE4 and no AVX: with "max", every wine process dies in a
# kernel oops unless SMAP is off, and then qemu's emulation of AVX2 faults
# in Qt's AVX2 drawing (a blend reading past its buffer), so the window
# crashed after drawing only part of itself.
vm_boot 480 2048 " kbvm_script=$here/in-vm.sh kbvm_work=$work" -cpu qemu64,+ssse3,+sse4.1,+sse4.2,+popcnt \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs local,path="$work/out",mount_tag=out,security_model=none
