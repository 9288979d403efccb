# Cross build for 32-bit Windows (x86) with Debian's g++-mingw-w64-i686.
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
#         -DTHIMBLEROUTE_MODULE_ONLY=ON
# 32-bit programs cannot run on the build machines, so this build makes the module
# and checks the file as built; nothing of it is run.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(THIMBLEROUTE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
