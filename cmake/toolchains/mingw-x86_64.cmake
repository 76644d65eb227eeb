# Windows (x86_64) with Debian's mingw-w64: see mingw-common.cmake.
set(TOVALIX_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
