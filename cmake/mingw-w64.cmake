# Shared part of the Windows toolchains: Debian's mingw-w64 compilers with the
# POSIX thread model (std::thread and std::mutex need it), and the C and C++
# runtimes linked into every program so that it runs without extra DLLs.
# The including file sets gravimo_mingw_triple and gravimo_wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${gravimo_mingw_arch})

set(CMAKE_C_COMPILER ${gravimo_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${gravimo_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${gravimo_mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${gravimo_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine in a prefix of the build folder's own, so that
# no test touches the user's Wine setup; Wine's own diagnostics stay quiet.
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all ${gravimo_wine})
