#!/usr/bin/env bash
# The whole test suite, from a fresh machine: installs what is missing, then
# builds and runs every unit and end-to-end test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

# Configure, build and run every unit and end-to-end test (the workflow
# preset "dev"), then the same for the Windows program under Wine.
cmake --workflow --preset dev
scripts/test_windows.sh

# The benchmark must keep running: the small sizes only, a few runs, seconds.
bench/run.sh --sizes 1K,1M --runs 3 --micro-time 0.01

# The same suite on a build with AddressSanitizer and UndefinedBehaviorSanitizer,
# then every fuzz target for TALLIX_FUZZ_SECONDS (60) seconds. TALLIX_SAFETY=0
# skips both for a quick local run.
if [[ "${TALLIX_SAFETY:-1}" != 0 ]]; then
    scripts/test_asan.sh
    scripts/fuzz.sh --seconds "${TALLIX_FUZZ_SECONDS:-60}"
fi
