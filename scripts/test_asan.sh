#!/usr/bin/env bash
# The whole suite (unit and end-to-end tests) on a build with AddressSanitizer
# and UndefinedBehaviorSanitizer; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build safety
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

cmake --workflow --preset asan
