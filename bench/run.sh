#!/usr/bin/env bash
# Builds the release tallix and the benchmarks, then runs bench/run.py with
# the arguments given (e.g. --sizes 1K,1M for a quick check). The data files
# are made in a scratch folder outside the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build bench
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
cmake --preset release >/dev/null
cmake --build --preset release --target tallix startup_reference tallix_micro_bench >/dev/null
exec python3 bench/run.py "$@"
