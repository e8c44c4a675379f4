# Cross toolchain for 64-bit Windows: Debian's mingw-w64 (posix threads), static programs, tests under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVRIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVRIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRIN_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw sysroot and from the folder of cross-built test libraries
# (GoogleTest, CLI11) that packaging/test-windows.sh fills; programs still run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVRIN_MINGW_TRIPLE} ${TAVRIN_WINDOWS_DEPS})
if(TAVRIN_WINDOWS_DEPS)
  list(APPEND CMAKE_PREFIX_PATH ${TAVRIN_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe per program: no libstdc++, libgcc or winpthread DLLs to ship beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs every test executable through wine, in a wine prefix of the build folder's own so the
# user's ~/.wine is never touched; the prefix is made on first use.
find_program(TAVRIN_WINE wine PATHS /usr/bin /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TAVRIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${TAVRIN_WINE})
endif()
