#!/usr/bin/env bash
# Builds both packages from a clean configure:
#   build-deb/plaken_<version>_amd64.deb    (native Linux build)
#   build-win64/plaken-<version>-win64.zip  (cross-compiled with mingw-w64)
# The Windows half is skipped, with a message, when the cross compiler or
# its toolchain file is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-deb -DPLAKEN_BUILD_TESTS=OFF
cmake --build build-deb -j2
(cd build-deb && cpack)

toolchain=cmake/mingw-w64-x86_64.cmake
if ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
  echo "build-packages: skipping the Windows zip: x86_64-w64-mingw32-g++ not found" \
       "(apt-get install g++-mingw-w64-x86-64)"
elif [[ ! -f $toolchain ]]; then
  echo "build-packages: skipping the Windows zip: $toolchain not found"
else
  cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DPLAKEN_BUILD_TESTS=OFF
  cmake --build build-win64 -j2
  (cd build-win64 && cpack)
fi

for package in build-deb/plaken_*.deb build-win64/plaken-*-win64.zip; do
  if [[ -f $package ]]; then echo "build-packages: made $package"; fi
done
