#!/usr/bin/env bash
# End-to-end time of `kbconfig-cli apply FILE --store`, from process start to
# exit, against the built-in keyboard: one keyboard, then `--all` on eight.
#
#   bench/cli-apply-benchmark.sh [path of kbconfig-cli] [runs]
#
# Each run is a fresh process with a fresh state file (the keyboards' memory),
# so every run writes, reads back and stores. Prints the median, the mean and
# the slowest run of each case in milliseconds, and their ratio.
set -euo pipefail

cli="${1:-build/cli/kbconfig-cli}"
runs="${2:-30}"
[ -x "$cli" ] || { echo "no kbconfig-cli at $cli (build it first)" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

export KBCONFIG_DEVICE=emulator KBCONFIG_EMULATOR_STATE="$work/state"
unset KBCONFIG_EMULATOR_COUNT KBCONFIG_EMULATOR_FAULTS KBCONFIG_EMULATOR_PRODUCT
# A settings file that differs from what a fresh keyboard holds.
"$cli" save "$work/bench.set" > /dev/null
sed -i 's/^[0-9]* LowThreshold/90 LowThreshold/; s/^[0-9]* CleanTimer/40 CleanTimer/' "$work/bench.set"

# Runs `kbconfig-cli apply ... --store` $runs times; prints the times in µs, sorted.
measure() {
    local count="$1"; shift
    for ((i = 0; i < runs; i++)); do
        rm -f "$KBCONFIG_EMULATOR_STATE"
        local start end
        start=$(date +%s%N)
        KBCONFIG_EMULATOR_COUNT="$count" "$cli" apply "$work/bench.set" --store "$@" > /dev/null
        end=$(date +%s%N)
        echo $(((end - start) / 1000))
    done | sort -n
}

summary() { # sorted µs on stdin -> "median mean max" in ms
    awk '{ t[NR] = $1; sum += $1 }
         END { printf "%.1f %.1f %.1f\n", t[int((NR + 1) / 2)] / 1000, sum / NR / 1000, t[NR] / 1000 }'
}

"$cli" apply "$work/bench.set" --store > /dev/null # warm the caches once
read -r one_median one_mean one_max < <(measure 1 | summary)
read -r all_median all_mean all_max < <(measure 8 --all | summary)

printf '%-28s %10s %10s %10s\n' "kbconfig-cli apply --store" "median ms" "mean ms" "max ms"
printf '%-28s %10s %10s %10s\n' "1 keyboard" "$one_median" "$one_mean" "$one_max"
printf '%-28s %10s %10s %10s\n' "8 keyboards, --all" "$all_median" "$all_mean" "$all_max"
awk -v a="$all_median" -v o="$one_median" \
    'BEGIN { printf "--all on 8 / one keyboard (medians): %.2f (goal <= 2); one keyboard goal <= 100 ms\n", a / o }'
