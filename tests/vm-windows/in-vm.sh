#!/bin/bash
# Runs inside the Windows test VM, in the host's root: starts udevd, the wine
# prefix (an overlay over the one made on the host) and an X server, then the
# test program. Its exit code is the test's result.
#   in-vm.sh WORK_FOLDER   (run-vm-windows-test.sh writes WORK_FOLDER/vm.conf)
set -u
source "$1/vm.conf"
export HOME=/tmp/home PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin
mkdir -p "$HOME" /run/udev

# wine must see udevd's events from its start on.
export LD_LIBRARY_PATH="$udev_root/lib/systemd:$udev_root/usr/lib/x86_64-linux-gnu/systemd"
"$udev_root/lib/systemd/systemd-udevd" --daemon < /dev/null > /dev/null 2>&1 ||
    { echo "vm: udevd did not start"; exit 1; }
"$udev_root/bin/udevadm" trigger --action=add > /dev/null 2>&1
"$udev_root/bin/udevadm" settle --timeout=10 > /dev/null 2>&1
unset LD_LIBRARY_PATH

mkdir -p /tmp/prefix /tmp/overlay/upper /tmp/overlay/work
mount -t overlay overlay -o "lowerdir=$prefix_lower,upperdir=/tmp/overlay/upper,workdir=/tmp/overlay/work" \
    /tmp/prefix || { echo "vm: cannot overlay the wine prefix"; exit 1; }
export WINEPREFIX=/tmp/prefix WINEDEBUG=-all
# The test-only cfgmgr32.dll beside the programs gives wine 8 the one
# function hidapi needs that it lacks; every other program keeps wine's own.
export WINEDLLOVERRIDES="cfgmgr32=n,b;mscoree,mshtml="

Xvfb :7 -screen 0 1024x768x24 -nolisten tcp < /dev/null > "$1/out/xvfb.log" 2>&1 &
export DISPLAY=:7
for _ in $(seq 50); do [ -S /tmp/.X11-unix/X7 ] && break; sleep 0.1; done
sleep 1
kill -0 $! 2> /dev/null || { echo "vm: Xvfb did not start"; cat "$1/out/xvfb.log"; exit 1; }

# Large programs run from tmpfs: one run straight off 9p crashed at start.
cp -r "$windows_programs" /tmp/win
cd /tmp/win
[ -z "$instead" ] || exec bash "$instead" "$@"
"$test_program" "$front_program" "$cli_program" /tmp/win "$1/out"
