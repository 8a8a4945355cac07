#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks installed use:
#   scripts/check-install.sh [BUILD_DIR]     (default build/)
# - the desktop entry passes desktop-file-validate, the AppStream metainfo
#   passes appstreamcli validate --no-net, and its screenshot is in
#   res/screenshots/;
# - with the program's folder read-only, the soak (bench/soak, installed
#   beside the program for this) runs from it as a user who may not write
#   there: its message log and event log must land in the user's state
#   folder, and its memory and descriptors must stay flat.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
scripts/install-deps.sh --with-ci

scratch=$(mktemp -d)
cleanup() { chmod -R u+w "$scratch" 2>/dev/null || true; rm -rf "$scratch"; }
trap cleanup EXIT
prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" > /dev/null

desktop-file-validate "$prefix/share/applications/kbconfig.desktop"
metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo"
for image in $(sed -n 's|.*<image>.*/\([^/<]*\)</image>.*|\1|p' "$metainfo"); do
  file "res/screenshots/$image" | grep -q 'PNG image' ||
    { echo "screenshot res/screenshots/$image missing" >&2; exit 1; }
done
echo "desktop entry and metainfo: valid"

cp "$build/bench/soak" "$prefix/bin/"
home="$scratch/home"
mkdir -p "$home"
chmod 755 "$scratch"
chmod -R a-w "$prefix"
as_user=()
if [[ $(id -u) -eq 0 ]]; then # root may write anywhere: run as nobody
  chown 65534:65534 "$home"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
(cd "$prefix/bin" && env -u XDG_STATE_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
  KBCONFIG_DEVICE=emulator "${as_user[@]}" ./soak "${SOAK_TICKS:-20000}")
state="$home/.local/state/kbconfig"
for log in debug.txt eventlog.txt; do
  [[ -s "$state/$log" ]] || { echo "$log is not in the state folder $state" >&2; exit 1; }
  [[ ! -e "$prefix/bin/$log" ]] || { echo "$log was written into the program folder" >&2; exit 1; }
done
echo "installed use: logs in $state ($(wc -l < "$state/debug.txt") message-log lines," \
  "$(wc -l < "$state/eventlog.txt") events)"
