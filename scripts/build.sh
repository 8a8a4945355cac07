#!/usr/bin/env bash
# Configures and builds into a build directory.
#   scripts/build.sh [plain|sanitize|tsan] [ninja targets...]
# plain    -> build/        (the program and every test)
# sanitize -> build-asan/   (AddressSanitizer and UndefinedBehaviorSanitizer)
# tsan     -> build-tsan/   (ThreadSanitizer)
set -euo pipefail
cd "$(dirname "$0")/.."

variant="${1:-plain}"
shift || true
case "$variant" in
  plain)    dir=build;      options=() ;;
  sanitize) dir=build-asan; options=(-DKBCONFIG_SANITIZE=ON) ;;
  tsan)     dir=build-tsan; options=(-DKBCONFIG_TSAN=ON) ;;
  *) echo "unknown build variant: $variant" >&2; exit 2 ;;
esac

if [[ ! -f "$dir/build.ninja" ]]; then
  cmake -S . -B "$dir" -G Ninja "${options[@]}"
fi
cmake --build "$dir" -- "$@"
echo "$dir"
