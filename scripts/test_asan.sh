#!/usr/bin/env bash
# The whole suite (unit and end-to-end tests) on a build with AddressSanitizer
# and UndefinedBehaviorSanitizer; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build safety

cmake --preset asan
cmake --build --preset asan
ctest --preset asan
