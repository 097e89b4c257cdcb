#!/usr/bin/env bash
# The Windows window program under wine beside the Linux one, through bench/load.sh: loss,
# CPU, memory and GUI timer delay at 50,000 and 100,000 datagrams a second, and the time
# from start to the bound port.
#   bench/wine_load.sh [BUILD_DIR] [WINDOWS_BUILD_DIR]   (after ./test and ./package --windows)
# Environment as for bench/load.sh (LOAD_COUNT, LOAD_RATES, LOAD_SERVERS).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
windows=$(cd "${2:-$root/build-windows}" && pwd)
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$(ls "$windows"/Marovind-*-win64.zip | tail -n1)")
folder=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'Marovind-*')
# shellcheck source=../scripts/wine-support.sh
source "$root/scripts/wine-support.sh"
new_wine_prefix "$work/prefix"
# Wine's sockets live in its server: the one that runs inside load.sh's namespace must be new.
wineserver -k 2>/dev/null || true
LOAD_WINE_DIR=$folder \
    LOAD_SERVERS=${LOAD_SERVERS:-wine marovind} LOAD_RATES=${LOAD_RATES:-50000 100000} \
    "$root/bench/load.sh" "$build"
