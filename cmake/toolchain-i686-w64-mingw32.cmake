# 32-bit Windows, the classic target; tests run under wine (wine32).
set(gravimo_mingw_triple i686-w64-mingw32)
set(gravimo_mingw_arch x86)
set(gravimo_wine WINEARCH=win32 wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
