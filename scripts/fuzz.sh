#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, libFuzzer, ASan, UBSan) and
# runs each one for a while over its corpus in fuzz/corpus/<target>/. Fails
# when any target reports a crash, a hang, a leak or a sanitizer finding;
# the input that caused it is kept in build/fuzz/findings/<target>/.
#
#   scripts/fuzz.sh [--seconds N] [TARGET...]
#
# N defaults to $TALLIX_FUZZ_SECONDS, else 60. TARGET is one of
# number_read number_write search get_dose profile (default: all). New
# inputs the fuzzers find go to build/fuzz/corpus-work/<target>/, never into
# the corpus kept with the sources.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${TALLIX_FUZZ_SECONDS:-60}
targets=()
while (($#)); do
    case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --seconds=*) seconds=${1#*=}; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
    esac
done
((${#targets[@]})) || targets=(number_read number_write search get_dose profile)

scripts/deps.sh build safety
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

findings=build/fuzz/findings
work=build/fuzz/corpus-work
failed=0
rows=()
for t in "${targets[@]}"; do
    binary=build/fuzz/fuzz/fuzz_$t
    [[ -x "$binary" ]] || { echo "fuzz.sh: no target '$t'" >&2; exit 2; }
    mkdir -p "$findings/$t" "$work/$t"
    log=$findings/$t.log
    echo "fuzzing $t for ${seconds}s ..."
    set +e
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
        -print_final_stats=1 -artifact_prefix="$findings/$t/" \
        "$work/$t" "fuzz/corpus/$t" >"$log" 2>&1
    status=$?
    set -e
    execs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -1)
    found=$(find "$findings/$t" -type f | wc -l)
    verdict=ok
    if ((status != 0 || found != 0)); then
        verdict="FINDING (exit $status, $found file(s) in $findings/$t)"
        failed=1
        grep -E 'ERROR|SUMMARY|runtime error|: got|model|fault' "$log" | head -20 >&2 || true
    fi
    rows+=("$(printf '%-14s %12s %8s  %s' "$t" "${execs:-?}" "${seconds}s" "$verdict")")
done

echo
printf '%-14s %12s %8s  %s\n' target executions time result
for r in "${rows[@]}"; do echo "$r"; done
exit $failed
