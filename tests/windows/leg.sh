#!/usr/bin/env bash
# The Windows leg of the tests: plaken.exe cross-built from these sources
# and run under Wine by the same black-box suite.
#
#   leg.sh start SOURCE BUILD PREFIX WINE WINESERVER  cross-build, boot Wine
#   leg.sh stop PREFIX WINESERVER                     end Wine, drop its prefix
#   leg.sh skip MESSAGE                               say why it does not run
#
# Wine gets a fresh prefix once per test run, and one wineserver kept alive
# for the whole run, so no case waits for Wine to start or set up.
set -euo pipefail
export WINEDEBUG=-all

case "$1" in
  start)
    source=$2 build=$3 prefix=$4 wine=$5 wineserver=$6
    toolchain=$source/cmake/mingw-w64-x86_64.cmake
    cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLAKEN_BUILD_TESTS=ON
    cmake --build "$build" -j2
    export WINEPREFIX=$prefix
    # A run left over from an interrupted one goes first.
    if [ -d "$prefix" ]; then "$wineserver" -k 2>/dev/null || true; fi
    rm -rf "$prefix"
    mkdir -p "$prefix"
    # Wine's own processes live on after this script: they must not hold
    # its output open, or the test would never end.
    "$wineserver" -p </dev/null >/dev/null 2>&1
    "$wine" wineboot -i </dev/null >"$build/wineboot.log" 2>&1
    # A first run of the tool starts whatever else Wine starts on demand.
    "$wine" "$build/plaken.exe" </dev/null >"$build/first-run.log" 2>&1
    if ! grep -q 'PLAKEN needs 3 parameters' "$build/first-run.log"; then
      echo "plaken.exe does not run under Wine:"
      cat "$build/wineboot.log" "$build/first-run.log"
      exit 1
    fi
    echo "plaken.exe built in $build; Wine ready in $prefix"
    ;;
  stop)
    prefix=$2 wineserver=$3
    export WINEPREFIX=$prefix
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    rm -rf "$prefix"
    ;;
  skip)
    echo "$2"
    exit 77
    ;;
  *)
    echo "usage: leg.sh start|stop|skip ..." >&2
    exit 2
    ;;
esac
