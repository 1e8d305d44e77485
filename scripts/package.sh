#!/usr/bin/env bash
# Puts a driver package into dist/: the render plug-in DLL of the mingw
# build, an example GPD and the install description (INF) that names them.
#
#   scripts/package.sh [BUILD_DIR]     default: build/mingw
set -euo pipefail

cd "$(dirname "$0")/.."
build="${1:-build/mingw}"
dll="${build}/KXDRVUNI-266.dll"
if [ ! -f "${dll}" ]; then
    echo "package.sh: ${dll} is missing; build the mingw preset first" >&2
    exit 1
fi

rm -rf dist
mkdir -p dist
cp "${dll}" dist/
cp examples/Sundo_203.gpd dist/
# The INF goes with Windows line ends.
sed 's/$/\r/' packaging/kxlabel.inf > dist/kxlabel.inf
# The package holds what the INF names, and nothing of the host or tests.
for f in $(sed -n '/^\[KXDRV_FILES\]/,/^$/p' packaging/kxlabel.inf | tail -n +2); do
    [ -f "dist/${f}" ] || { echo "package.sh: dist/${f} is missing" >&2; exit 1; }
done
ls -l dist
