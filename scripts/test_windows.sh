#!/usr/bin/env bash
# Builds the Windows program tallix.exe and its ZIP, then runs the Wine
# suite against it in a throw-away Wine prefix (no display needed: the suite
# starts its own Xvfb). Leaves no wineserver or Xvfb running.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows

cmake --preset windows
cmake --build --preset windows
cmake --build --preset windows --target msi
(cd build/windows && cpack -G ZIP >/dev/null)
zip=$(ls -t build/windows/tallix-*-win64.zip | head -n 1)

scratch=$(mktemp -d /tmp/tallix-wine.XXXXXX)
cleanup() {
    # The suite ends its own wineserver and Xvfb; this is for a suite that
    # was killed on the way.
    if [[ -f "$scratch/xvfb.pid" ]]; then kill "$(cat "$scratch/xvfb.pid")" 2>/dev/null || true; fi
    if [[ -d "$scratch/prefix" ]]; then
        WINEPREFIX="$scratch/prefix" timeout 30 wineserver -k 2>/dev/null || true
    fi
    if [[ -d "$scratch/msi/wine/prefix" ]]; then
        WINEPREFIX="$scratch/msi/wine/prefix" timeout 30 wineserver -k 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

helpers=build/windows/tests/windows
python3 tests/e2e/run_wine.py --exe build/windows/lookup/tallix.exe --zip "$zip" \
    --native build/dev/lookup/tallix --boxes $helpers/tallix_boxes.exe --hold $helpers/tallix_hold.exe \
    --unit $helpers/tallix_win32_tests.exe \
    --check build/windows/check/tallix-check.exe --native-check build/dev/check/tallix-check \
    --artifacts build/windows/artifacts --scratch "$scratch"

# The MSI: signed in a build tree of its own with a throw-away certificate,
# then installed, upgraded, refused as a downgrade and removed under Wine.
python3 tests/e2e/test_msi.py --build-dir build/msi-test --unsigned build/windows --scratch "$scratch/msi"
