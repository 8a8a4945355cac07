# Sourced by the VM tests' run scripts: Debian's kernel, resolved from
# linux-image-amd64 on every run and fetched with apt-get download. The
# decompressed kernel and the modules the tests load are kept under the
# cache folder, so later runs of the same version only boot.
#   vm_kernel CACHE   sets package, kernel_dir and version; returns 77 when
#                     no kernel package can be had, 1 on any other fault.

# Modules beyond the HID ones: virtio and 9p to share the host's root,
# overlay to make a shared folder writable.
VM_MODULE_FOLDERS=(drivers/hid drivers/virtio net/9p fs/9p fs/netfs fs/fscache fs/overlayfs)

vm_kernel() {
    local cache=$1 vmlinuz offset folder patterns=()
    package="$(apt-cache depends linux-image-amd64 2>/dev/null |
        awk '/Depends: linux-image-[0-9]/ { print $2; exit }')"
    if [ -z "$package" ]; then
        # No package lists: fall back on a kernel fetched before, if any.
        package="$(ls -t "$cache" 2>/dev/null | grep '^linux-image-' | head -n 1 || true)"
        [ -n "$package" ] || { log "cannot resolve linux-image-amd64: skipped"; return 77; }
        log "package lists unavailable, using cached $package"
    fi
    kernel_dir="$cache/$package"
    # A cache made before the 9p modules were kept is made again.
    if [ ! -f "$kernel_dir/vmlinux" ] || [ -z "$(find "$kernel_dir/modules" -name 9p.ko 2>/dev/null)" ]; then
        log "fetching $package"
        rm -rf "$kernel_dir.tmp"
        mkdir -p "$kernel_dir.tmp/unpacked"
        if ! (cd "$kernel_dir.tmp" && apt-get download "$package" >/dev/null 2>&1); then
            rm -rf "$kernel_dir.tmp"
            log "cannot download $package: skipped"
            return 77
        fi
        for folder in "${VM_MODULE_FOLDERS[@]}"; do
            patterns+=("./lib/modules/*/kernel/$folder/*")
        done
        dpkg-deb --fsys-tarfile "$kernel_dir.tmp"/*.deb |
            tar -x -C "$kernel_dir.tmp/unpacked" --wildcards \
                './boot/vmlinuz-*' './lib/modules/*/modules.*' "${patterns[@]}"
        vmlinuz="$(ls "$kernel_dir.tmp"/unpacked/boot/vmlinuz-*)"
        # Booting the compressed image under emulation costs seconds every run:
        # cut out the XZ stream that follows the decompressor and unpack it once.
        offset="$(LC_ALL=C grep -obUaP '\xFD7zXZ\x00' "$vmlinuz" | head -n 1 | cut -d: -f1)"
        [ -n "$offset" ] || { log "no XZ stream in $vmlinuz"; return 1; }
        tail -c +"$((offset + 1))" "$vmlinuz" | xz -dc > "$kernel_dir.tmp/vmlinux" 2>/dev/null || true
        [ "$(head -c 4 "$kernel_dir.tmp/vmlinux" | od -An -tx1 | tr -d ' ')" = "7f454c46" ] ||
            { log "decompressed kernel is no ELF file"; return 1; }
        mv "$kernel_dir.tmp/unpacked/lib/modules" "$kernel_dir.tmp/modules"
        rm -rf "$kernel_dir.tmp/unpacked" "$kernel_dir.tmp"/*.deb "$kernel_dir"
        mv "$kernel_dir.tmp" "$kernel_dir"
        # Older kernels left in the cache are of no more use.
        find "$cache" -mindepth 1 -maxdepth 1 -name 'linux-image-*' ! -name "$package" -exec rm -rf {} +
    fi
    version="$(ls "$kernel_dir/modules" | head -n 1)"
}

# Copies the named modules (file names without .ko, found in the kept
# folders) and their module index into the initramfs root ROOT.
vm_modules() {
    local root=$1 module file
    shift
    local from="$kernel_dir/modules/$version" to="$root/lib/modules/$version"
    mkdir -p "$to"
    cp "$from"/modules.{order,builtin} "$to/" 2>/dev/null || true
    for module in "$@"; do
        file="$(find "$from/kernel" -name "$module.ko" | head -n 1)"
        [ -n "$file" ] || continue # built into this kernel
        mkdir -p "$to/$(dirname "${file#"$from/"}")"
        cp "$file" "$to/${file#"$from/"}"
    done
    busybox depmod -b "$root" "$version"
}

# Boots the kernel with $work/initramfs.cpio and returns the in-VM test's
# exit code (0 passed), or 1 when the VM gave no result in time.
#   vm_boot TIMEOUT MEMORY_MB KERNEL_ARGUMENTS [qemu options...]
vm_boot() {
    local limit=$1 memory=$2 arguments=$3 status start_ms elapsed_ms console_rc rc
    shift 3
    [ $# -gt 0 ] || set -- -cpu max
    log "booting $package"
    start_ms=$(($(date +%s%N) / 1000000))
    set +e
    timeout "$limit" qemu-system-x86_64 -nographic -no-reboot -m "$memory" -smp 2 "$@" \
        -kernel "$kernel_dir/vmlinux" -initrd "$work/initramfs.cpio" \
        -append "console=ttyS0 panic=-1 quiet loglevel=3$arguments" \
        -device isa-debug-exit,iobase=0xf4,iosize=0x04 </dev/null 2>&1 | tee "$work/console.log"
    status=${PIPESTATUS[0]}
    set -e
    elapsed_ms=$(($(date +%s%N) / 1000000 - start_ms))
    log "VM ran $((elapsed_ms / 1000)).$(printf %03d $((elapsed_ms % 1000))) s, qemu status $status"

    console_rc="$(sed -n 's/.*VM-TEST-RESULT rc=\([0-9]*\).*/\1/p' "$work/console.log" | tail -n 1)"
    if [ "$status" -eq 124 ]; then
        log "the VM did not finish in time"
        return 1
    elif [ $((status & 1)) -eq 1 ]; then
        rc=$((status >> 1))
    elif [ "$status" -eq 0 ] && [ -n "$console_rc" ]; then
        rc=$console_rc # powered off without the exit port
    else
        log "the VM gave no result"
        return 1
    fi
    if [ -n "$console_rc" ] && [ "$console_rc" != "$rc" ]; then
        log "exit port says $rc, console says $console_rc"
        return 1
    fi
    [ -n "$console_rc" ] || { log "no result line on the console"; return 1; }
    log "in-VM test exit code $rc"
    return "$rc"
}
