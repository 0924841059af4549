#!/usr/bin/env bash
# Installs the exchange library of a configured and built TALLIX build tree
# into a scratch prefix, then builds and runs a small helper that finds it
# with find_package(TallixExchange) and reads and writes a real dosdose.dat
# through it.
#   check_package.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" --component development >/dev/null
test -f "$work/prefix/include/exchange/exchange.h"
# A static library links only with the compiler and flags it was built with
# (a sanitizer build needs its runtimes in the helper too).
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
cmake -S "$here/consumer" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DCMAKE_CXX_COMPILER="$(cache CMAKE_CXX_COMPILER)" -DCMAKE_CXX_FLAGS="$(cache CMAKE_CXX_FLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(cache CMAKE_EXE_LINKER_FLAGS)" >/dev/null
cmake --build "$work/build" -j 2 >/dev/null
mkdir "$work/exchange"
"$work/build/exchange_consumer" "$work/exchange" </dev/null
