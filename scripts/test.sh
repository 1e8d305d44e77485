#!/usr/bin/env bash
# Configures, builds and tests the given CMake presets, in order.
#
#   scripts/test.sh                  linux, linux-asan, then mingw (Wine tests)
#   scripts/test.sh mingw            only the listed presets
#
# KX_JOBS sets the parallel build and test jobs (default: 2).
set -euo pipefail

cd "$(dirname "$0")/.."

jobs="${KX_JOBS:-2}"
if [ "$#" -gt 0 ]; then
    presets=("$@")
else
    presets=(linux linux-asan mingw)
fi

start_all=$SECONDS
summary=()
for preset in "${presets[@]}"; do
    start=$SECONDS
    echo "==== ${preset}: configure"
    cmake --preset "${preset}"
    echo "==== ${preset}: build"
    cmake --build --preset "${preset}" -j"${jobs}"
    echo "==== ${preset}: test"
    ctest --preset "${preset}" --parallel "${jobs}"
    summary+=("${preset}: $((SECONDS - start)) s")
done

echo "==== all passed in $((SECONDS - start_all)) s"
printf '     %s\n' "${summary[@]}"
