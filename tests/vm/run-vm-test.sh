#!/bin/bash
# Boots Debian's kernel in qemu with a small initramfs holding the uhid
# keyboard and the in-VM test program, and exits with the test's result.
#
#   run-vm-test.sh --test PROGRAM --front PROGRAM --cli PROGRAM [--cache DIR] [--work DIR]
#                  [--measure N] [--fallback]
#
# --measure N: plug-ins timed after the storm (10 by default); --fallback
# times as many again with the periodic search alone.
# The kernel and the boot come from vm-common.sh.
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
source "$here/vm-common.sh"
vm_kernel "$cache" || exit $?

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
vm_modules "$root" hid uhid hid-generic
(cd "$root" && find . | cpio -o -H newc --quiet) > "$work/initramfs.cpio"

# --- the run ----------------------------------------------------------------
vm_boot "$vm_timeout" 512 "$test_environment"
