# Cross-building the Windows program on Linux with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix): cmake -S . -B build-win
#   -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZANDOVIR_MINGW_PREFIX x86_64-w64-mingw32)
# The posix-threads variant first: its C++ runtime has std::thread and friends.
find_program(CMAKE_CXX_COMPILER NAMES ${ZANDOVIR_MINGW_PREFIX}-g++-posix
                                      ${ZANDOVIR_MINGW_PREFIX}-g++ ${ZANDOVIR_MINGW_PREFIX}-g++-win32
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${ZANDOVIR_MINGW_PREFIX}-gcc-posix
                                    ${ZANDOVIR_MINGW_PREFIX}-gcc ${ZANDOVIR_MINGW_PREFIX}-gcc-win32)
find_program(CMAKE_RC_COMPILER NAMES ${ZANDOVIR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZANDOVIR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
