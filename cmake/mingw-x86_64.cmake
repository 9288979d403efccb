# Cross build for 64-bit Windows (x64) with Debian's g++-mingw-w64-x86-64.
#   cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
# Its programs (the reference host's tests) run under Wine, through wine-run,
# with a Wine prefix of the build's own.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(THIMBLEROUTE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wine")
