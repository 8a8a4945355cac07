#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/, and runs each for a while.
#   scripts/fuzz.sh [SECONDS] [TARGET...]   (default 60 s each, every target)
# New inputs go to build-fuzz/corpus/TARGET (the seeds in fuzz/corpus/ stay
# as they are); a crash is written to build-fuzz/findings/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(settings_file input_report help_text)
fi

scripts/install-deps.sh --with-ci
dir=build-fuzz
if [[ ! -f "$dir/build.ninja" ]]; then
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKBCONFIG_FUZZ=ON -DKBCONFIG_SANITIZE=ON -DKBCONFIG_BUILD_UI=OFF -DKBCONFIG_BUILD_TESTS=OFF
fi
cmake --build "$dir" --target $(printf 'fuzz_%s ' "${targets[@]}")

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p "$dir/findings"
for target in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$target"
  echo "== fuzz_$target for $seconds s"
  rc=0
  "$dir/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$dir/findings/$target-" "$dir/corpus/$target" "fuzz/corpus/$target" \
    > "$dir/findings/$target.log" 2>&1 || rc=$?
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec|SUMMARY)' \
    "$dir/findings/$target.log" || true
  if ((rc != 0)); then
    tail -n 40 "$dir/findings/$target.log" >&2
    echo "fuzz_$target found a fault; the input is in $dir/findings/" >&2
    exit 1
  fi
done
