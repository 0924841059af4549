#!/usr/bin/env bash
# Installs the exchange library of a configured and built TALLIX build tree
# into a scratch prefix, then builds and runs a small helper that finds it
# with find_package(TallixExchange).
#   check_package.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" --component development >/dev/null
test -f "$work/prefix/include/exchange/exchange.h"
cmake -S "$here/consumer" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" -j 2 >/dev/null
"$work/build/exchange_consumer"
