#!/usr/bin/env bash
# Builds the Windows programs and runs, under Wine, their unit program, the
# operators' ZIP and the Wine suite (the workflow preset "windows"; the
# suite starts its own Xvfb and compares with the native build in build/dev
# when there is one), then signs, installs, upgrades and removes the MSI.
# Leaves no wineserver or Xvfb running.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

scratch=$(mktemp -d /tmp/tallix-wine.XXXXXX)
cleanup() {
    # The suites end their own wineserver and Xvfb; this is for a suite that
    # was killed on the way.
    local suite=build/windows/wine/suite
    if [[ -f "$suite/xvfb.pid" ]]; then kill "$(cat "$suite/xvfb.pid")" 2>/dev/null || true; fi
    for prefix in "$suite/prefix" build/windows/wine/unit-prefix "$scratch/msi/wine/prefix"; do
        if [[ -d "$prefix" ]]; then WINEPREFIX="$PWD/$prefix" timeout 30 wineserver -k 2>/dev/null || true; fi
    done
    rm -rf "$scratch"
}
trap cleanup EXIT

cmake --workflow --preset windows

# The MSI: signed in a build tree of its own with a throw-away certificate,
# then installed, upgraded, refused as a downgrade and removed under Wine.
cmake --build --preset windows --target msi
python3 tests/e2e/test_msi.py --build-dir build/msi-test --unsigned build/windows --scratch "$scratch/msi"
