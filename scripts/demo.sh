#!/usr/bin/env bash
# Builds tallix and runs one real lookup on the shipped samples, in a
# scratch copy so the samples stay clean: asset A7 at the nominal 10.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
cmake --preset release >/dev/null
cmake --build --preset release --target tallix >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp samples/vornax.ini samples/dosdose.dat samples/refs.dat "$work"
tallix=$PWD/build/release/lookup/tallix

# The sample dosdose.dat holds MEM1 = -1, so the lookup shows it turn to 1.
echo "dosdose.dat before: MEM = $(sed -n 1p "$work/dosdose.dat" | tr -d '\r'), MEM1 = $(sed -n 2p "$work/dosdose.dat" | tr -d '\r')"
echo "\$ tallix vornax.ini refs.dat A7 10"
set +e
(cd "$work" && "$tallix" vornax.ini refs.dat A7 10 </dev/null)
status=$?
set -e
echo "exit status: $status"
echo "dosdose.dat afterwards (MEM, MEM1, MEM2, M 1..20):"
tr -d '\r' <"$work/dosdose.dat" | sed 's/^/  /'
