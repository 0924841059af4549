#!/usr/bin/env bash
# Installs, from Debian's packages, whatever of the named groups is missing.
#   scripts/deps.sh build      compiler, CMake, GoogleTest, Python
#   scripts/deps.sh windows    mingw-w64 cross compiler, Wine, Xvfb, xwd;
#                              wixl and msitools (the MSI), osslsigncode and openssl (signing)
#   scripts/deps.sh bench      hyperfine, GNU time, Google Benchmark, mawk, ripgrep
#   scripts/deps.sh safety     clang with libFuzzer, the gcc sanitizer runtimes
# Other groups are added by the parts of the project that need them.
set -euo pipefail

packages=()
need() {  # need COMMAND-OR-FILE PACKAGE
    if [[ "$1" == /* ]]; then [[ -e "$1" ]] || packages+=("$2")
    else command -v "$1" >/dev/null 2>&1 || packages+=("$2"); fi
}

for group in "$@"; do
    case "$group" in
    build)
        need g++ g++
        need cmake cmake
        need make make
        need python3 python3
        need /usr/include/gtest/gtest.h libgtest-dev
        need /usr/include/gmock/gmock.h libgmock-dev
        ;;
    windows)
        need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
        need wine wine
        need /usr/lib/wine/wine64 wine64
        need Xvfb xvfb
        need xwd x11-apps
        need /usr/src/googletest/googletest/CMakeLists.txt googletest
        need wixl wixl
        need msibuild msitools
        need osslsigncode osslsigncode
        need openssl openssl
        ;;
    bench)  # bench/run.sh: timing, peak memory, micro-benchmarks
        need gcc gcc
        need hyperfine hyperfine
        need /usr/bin/time time
        need /usr/include/benchmark/benchmark.h libbenchmark-dev
        need awk mawk
        need rg ripgrep
        ;;
    safety)
        need clang++ clang
        need /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev
        need /usr/lib/x86_64-linux-gnu/libasan.so.8 libasan8
        need /usr/lib/x86_64-linux-gnu/libubsan.so.1 libubsan1
        ;;
    *) echo "deps.sh: unknown group '$group'" >&2; exit 2 ;;
    esac
done

if ((${#packages[@]})); then
    echo "Installing: ${packages[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${packages[@]}"
fi
