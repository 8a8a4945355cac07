#!/bin/bash
# Boots Debian's kernel in qemu with a small initramfs holding the uhid
# keyboard and the in-VM test program, and exits with the test's result.
#
#   run-vm-test.sh --test PROGRAM --front PROGRAM --cli PROGRAM [--cache DIR] [--work DIR]
#                  [--measure N] [--fallback]
#
# --measure N: plug-ins timed after the storm (10 by default); --fallback
# times as many again with the periodic search alone.
# The kernel package is resolved from linux-image-amd64 on every run and
# fetched with apt-get download; its decompressed kernel and HID modules are
# kept under --cache, so later runs of the same version only boot.
# Exit codes: 0 passed, 77 skipped (no qemu, or no kernel package to be had),
# anything else failed.
set -euo pipefail

SKIP=77
cache=""
work=""
test_program=""
front_program=""
cli_program=""
test_environment=""
vm_timeout=300
while [ $# -gt 0 ]; do
    case "$1" in
        --cache) cache="$2"; shift 2 ;;
        --work) work="$2"; shift 2 ;;
        --test) test_program="$2"; shift 2 ;;
        --front) front_program="$2"; shift 2 ;;
        --cli) cli_program="$2"; shift 2 ;;
        --measure) test_environment+=" kbvm_measure=$2"; vm_timeout=900; shift 2 ;;
        --fallback) test_environment+=" kbvm_fallback=1"; shift ;;
        *) echo "usage: $0 --test PROGRAM --front PROGRAM --cli PROGRAM [--cache DIR] [--work DIR]" >&2; exit 2 ;;
    esac
done
[ -x "$test_program" ] && [ -x "$front_program" ] && [ -x "$cli_program" ] ||
    { echo "vm-test: programs missing" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"
cache="${cache:-$PWD/vm-cache}"
work="${work:-$PWD/vm-run}"
log() { echo "vm-test: $*"; }

command -v qemu-system-x86_64 >/dev/null || { log "qemu-system-x86_64 not installed: skipped"; exit $SKIP; }
for tool in busybox cpio xz dpkg-deb; do
    command -v "$tool" >/dev/null || { log "$tool not installed"; exit 1; }
done

# --- the kernel -------------------------------------------------------------
package="$(apt-cache depends linux-image-amd64 2>/dev/null |
    awk '/Depends: linux-image-[0-9]/ { print $2; exit }')"
if [ -z "$package" ]; then
    # No package lists: fall back on a kernel fetched before, if any.
    package="$(ls -t "$cache" 2>/dev/null | grep '^linux-image-' | head -n 1 || true)"
    [ -n "$package" ] || { log "cannot resolve linux-image-amd64: skipped"; exit $SKIP; }
    log "package lists unavailable, using cached $package"
fi
kernel_dir="$cache/$package"
if [ ! -f "$kernel_dir/vmlinux" ]; then
    log "fetching $package"
    rm -rf "$kernel_dir.tmp"
    mkdir -p "$kernel_dir.tmp/unpacked"
    if ! (cd "$kernel_dir.tmp" && apt-get download "$package" >/dev/null 2>&1); then
        rm -rf "$kernel_dir.tmp"
        log "cannot download $package: skipped"
        exit $SKIP
    fi
    dpkg-deb --fsys-tarfile "$kernel_dir.tmp"/*.deb |
        tar -x -C "$kernel_dir.tmp/unpacked" --wildcards \
            './boot/vmlinuz-*' './lib/modules/*/kernel/drivers/hid/*' './lib/modules/*/modules.*'
    vmlinuz="$(ls "$kernel_dir.tmp"/unpacked/boot/vmlinuz-*)"
    # Booting the compressed image under emulation costs seconds every run:
    # cut out the XZ stream that follows the decompressor and unpack it once.
    offset="$(LC_ALL=C grep -obUaP '\xFD7zXZ\x00' "$vmlinuz" | head -n 1 | cut -d: -f1)"
    [ -n "$offset" ] || { log "no XZ stream in $vmlinuz"; exit 1; }
    tail -c +"$((offset + 1))" "$vmlinuz" | xz -dc > "$kernel_dir.tmp/vmlinux" 2>/dev/null || true
    [ "$(head -c 4 "$kernel_dir.tmp/vmlinux" | od -An -tx1 | tr -d ' ')" = "7f454c46" ] ||
        { log "decompressed kernel is no ELF file"; exit 1; }
    mv "$kernel_dir.tmp/unpacked/lib/modules" "$kernel_dir.tmp/modules"
    rm -rf "$kernel_dir.tmp/unpacked" "$kernel_dir.tmp"/*.deb "$kernel_dir"
    mv "$kernel_dir.tmp" "$kernel_dir"
    # Older kernels left in the cache are of no more use.
    find "$cache" -mindepth 1 -maxdepth 1 -name 'linux-image-*' ! -name "$package" -exec rm -rf {} +
fi
version="$(ls "$kernel_dir/modules" | head -n 1)"

# --- the initramfs ----------------------------------------------------------
rm -rf "$work"
root="$work/root"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,lib/modules}
cp "$(command -v busybox)" "$root/bin/busybox"
cp "$here/init" "$root/init"
cp "$test_program" "$root/bin/kb_vm_hid_test"
cp "$front_program" "$root/bin/kb_uhid_keyboard"
cp "$cli_program" "$root/bin/kbconfig-cli"
# Shared libraries (hidapi is linked dynamically: there is no static libudev).
for program in "$root/bin/busybox" "$test_program" "$front_program" "$cli_program"; do
    { ldd "$program" 2>/dev/null || true; } | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }'
done | sort -u | while read -r lib; do
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
done
modules="$root/lib/modules/$version"
mkdir -p "$modules/kernel/drivers/hid"
cp "$kernel_dir/modules/$version"/modules.{order,builtin} "$modules/" 2>/dev/null || true
for module in hid uhid hid-generic; do
    cp "$kernel_dir/modules/$version/kernel/drivers/hid/$module.ko" "$modules/kernel/drivers/hid/"
done
busybox depmod -b "$root" "$version"
(cd "$root" && find . | cpio -o -H newc --quiet) > "$work/initramfs.cpio"

# --- the run ----------------------------------------------------------------
log "booting $package"
start_ms=$(($(date +%s%N) / 1000000))
set +e
timeout "$vm_timeout" qemu-system-x86_64 -nographic -no-reboot -m 512 -smp 2 -cpu max \
    -kernel "$kernel_dir/vmlinux" -initrd "$work/initramfs.cpio" \
    -append "console=ttyS0 panic=-1 quiet loglevel=3$test_environment" \
    -device isa-debug-exit,iobase=0xf4,iosize=0x04 </dev/null 2>&1 | tee "$work/console.log"
status=${PIPESTATUS[0]}
set -e
elapsed_ms=$(($(date +%s%N) / 1000000 - start_ms))
log "VM ran $((elapsed_ms / 1000)).$(printf %03d $((elapsed_ms % 1000))) s, qemu status $status"

console_rc="$(sed -n 's/.*VM-TEST-RESULT rc=\([0-9]*\).*/\1/p' "$work/console.log" | tail -n 1)"
if [ "$status" -eq 124 ]; then
    log "the VM did not finish in time"
    exit 1
elif [ $((status & 1)) -eq 1 ]; then
    rc=$((status >> 1))
elif [ "$status" -eq 0 ] && [ -n "$console_rc" ]; then
    rc=$console_rc # powered off without the exit port
else
    log "the VM gave no result"
    exit 1
fi
if [ -n "$console_rc" ] && [ "$console_rc" != "$rc" ]; then
    log "exit port says $rc, console says $console_rc"
    exit 1
fi
[ -n "$console_rc" ] || { log "no result line on the console"; exit 1; }
log "in-VM test exit code $rc"
[ "$rc" -eq 0 ]
