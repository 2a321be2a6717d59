#!/usr/bin/env bash
# Runs each fuzz target of a fuzz build for 10 million executions or one hour, whichever comes
# first, one after another under nice, and prints one table row per target.
#
#   tools/fuzz-campaign.sh BUILD_DIR WORK_DIR [TARGET...]
#
# BUILD_DIR is a clang build configured with -DSKYLARK_FUZZ=ON -DSKYLARK_SANITIZE=ON. Each
# target keeps its growing corpus in WORK_DIR/corpus/TARGET and its log in WORK_DIR/logs; the
# seed corpus kept in the repository is read as well. A crash, leak or time-out leaves its input
# (crash-*, leak-*, timeout-*, oom-*) in WORK_DIR/artifacts: make it a regression test.
set -uo pipefail

build=$(readlink -f "${1:?build directory}")
work=$(readlink -f "${2:?work directory}")
shift 2
source_dir=$(cd "$(dirname "$0")/.." && pwd)
runs=${FUZZ_RUNS:-10000000}
seconds=${FUZZ_SECONDS:-3600}

mkdir -p "$work/corpus" "$work/logs" "$work/artifacts"

if [ $# -eq 0 ]; then
    mapfile -t targets < <(find "$build" -type f -perm -u+x -name '*fuzz*' ! -path '*autogen*' \
        -printf '%f\n' | sort -u)
else
    targets=("$@")
fi

echo "| Target | Runs | Time | Findings |"
echo "|---|---:|---:|---|"
for target in "${targets[@]}"; do
    binary=$(find "$build" -type f -perm -u+x -name "$target" ! -path '*autogen*' | head -n 1)
    [ -n "$binary" ] || { echo "no such target: $target" >&2; continue; }
    seeds=$(find "$source_dir" -path "$source_dir/build*" -prune -o -type d \
        -path "*/fuzz/corpus/$target" -print | head -n 1)
    mkdir -p "$work/corpus/$target"
    log="$work/logs/$target.log"
    start=$(date +%s)
    ASAN_OPTIONS=detect_leaks=0 nice -n 19 "$binary" -runs="$runs" -max_total_time="$seconds" \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/$target-" \
        "$work/corpus/$target" ${seeds:+"$seeds"} >"$log" 2>&1
    status=$?
    elapsed=$(( $(date +%s) - start ))
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ "$status" -eq 0 ]; then findings=none; else findings="exit $status, see $log"; fi
    printf '| `%s` | %s | %d min %02d s | %s |\n' "$target" "${executed:-?}" \
        $((elapsed / 60)) $((elapsed % 60)) "$findings"
done
