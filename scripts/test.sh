#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   scripts/test.sh             every test, plain build
#   scripts/test.sh --sanitize  every test but the VM one, with ASan and UBSan
#   scripts/test.sh --tsan      every test but the VM one, with ThreadSanitizer
# Further arguments go to ctest (for example -R reader).
set -euo pipefail
cd "$(dirname "$0")/.."

variant=plain
ctest_args=()
case "${1:-}" in
  --sanitize) variant=sanitize; shift; ctest_args=(-LE vm) ;;
  --tsan)     variant=tsan;     shift ;;
esac

scripts/install-deps.sh --with-vm
dir=$(scripts/build.sh "$variant" | tail -n 1)

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# The plain build runs the generated scenarios in full; under the sanitizers,
# which are many times slower, a tenth of them.
if [[ $variant != plain ]]; then
  export RC_PARAMS="${RC_PARAMS:-max_success=1000}"
fi
cd "$dir"
ctest --output-on-failure --timeout 600 "${ctest_args[@]}" "$@"
