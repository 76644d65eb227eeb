# Windows (i686) with Debian's mingw-w64: see mingw-common.cmake.
set(TOVALIX_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
