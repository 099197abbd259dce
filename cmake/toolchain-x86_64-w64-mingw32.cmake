# 64-bit Windows; tests run under wine64, which Debian keeps out of PATH.
set(gravimo_mingw_triple x86_64-w64-mingw32)
set(gravimo_mingw_arch AMD64)
find_program(GRAVIMO_WINE64 wine64 PATHS /usr/lib/wine)
set(gravimo_wine ${GRAVIMO_WINE64})
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
