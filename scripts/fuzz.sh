#!/usr/bin/env bash
# Fuzzes every libFuzzer target in turn: fuzz.sh [MINUTES]
#
# Builds the targets with clang in their own folder (build-fuzz, or $FUZZ_BUILD_DIR) with
# AddressSanitizer and UndefinedBehaviorSanitizer, every report fatal, then runs each target for
# MINUTES minutes (default 1), with the options in fuzz/<target>.options, from a scratch copy of its seed corpus, so the corpus in the tree
# stays as it is. With FUZZ_RUNS=N each target runs N inputs instead. Prints executions, coverage
# and crashes per target; crash inputs are kept in build-fuzz/crashes/<target>/ for adding to
# fuzz/corpus/<target>/ with their fix. Exits 1 when any target crashed.
set -euo pipefail

minutes=${1:-1}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
jobs=${JOBS:-2}

launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DMETER_FUZZ=ON -DMETER_BUILD_GUI=OFF "${launcher[@]}" > "$build.configure.log" 2>&1 \
    || { cat "$build.configure.log"; exit 2; }

targets=()
for list in "$root"/fuzz/fuzz_*.cmake; do
    targets+=("$(basename "$list" .cmake)")
done
cmake --build "$build" --target "${targets[@]}" -j"$jobs"

if [[ -n "${FUZZ_RUNS:-}" ]]; then
    limit=(-runs="$FUZZ_RUNS")
else
    limit=(-max_total_time=$((minutes * 60)))
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
summary=()
for t in "${targets[@]}"; do
    mkdir -p "$scratch/$t" "$build/crashes/$t"
    cp -R "$root/fuzz/corpus/$t/." "$scratch/$t/"
    log="$build/crashes/$t.log"
    touch "$scratch/$t.start"
    status=0
    # A target's own libFuzzer options, one per line, live beside it in fuzz/<target>.options.
    options=()
    if [[ -f "$root/fuzz/$t.options" ]]; then
        mapfile -t options < "$root/fuzz/$t.options"
    fi
    "$build/fuzz/$t" "${limit[@]}" "${options[@]}" -print_final_stats=1 -artifact_prefix="$build/crashes/$t/" \
        "$scratch/$t" > "$log" 2>&1 || status=$?
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || true)
    crashes=$(find "$build/crashes/$t" -type f -newer "$scratch/$t.start" \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
    if [[ $status -ne 0 ]]; then
        failed=1
    fi
    summary+=("$(printf '%-18s %12s executions %8s exec/s %7s coverage %4s crashes (exit %d)' \
        "$t" "${execs:-?}" "${speed:-?}" "${cov:-?}" "$crashes" "$status")")
done
printf '%s\n' "${summary[@]}"
exit $failed
