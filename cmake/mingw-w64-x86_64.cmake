# Cross-builds plaken.exe, a 64-bit Windows console program, with Debian's
# mingw-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DPLAKEN_BUILD_TESTS=OFF && cmake --build build-win -j2
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLAKEN_MINGW_PREFIX x86_64-w64-mingw32)
# The win32 threads variant needs no threading library at run time.
find_program(CMAKE_C_COMPILER NAMES ${PLAKEN_MINGW_PREFIX}-gcc-win32
                                    ${PLAKEN_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${PLAKEN_MINGW_PREFIX}-g++-win32
                                      ${PLAKEN_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${PLAKEN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PLAKEN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A console program, linked whole so that plaken.exe runs alone.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-mconsole -static")
