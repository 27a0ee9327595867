# Cross-builds for 64-bit Windows with Debian's mingw-w64 compilers.
#
# The "-posix" compilers use the winpthreads thread model: the default
# ("-win32") ones have no std::thread and std::mutex. Everything is linked
# statically, so the .exe files need no MinGW runtime DLLs beside them, under
# Wine as on a Windows PC.
#
#   cmake -S . -B build-win -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVEX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVEX_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${ORVEX_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${ORVEX_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers of the target come from the cross root (and from the
# prefixes given on the command line, such as the cross-built GoogleTest);
# programs run during the build come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthreads inside each .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine on a Linux host; a Windows host runs them as
# they are. They are asked for their tests when ctest runs, inside the Wine
# prefix that scripts/test-windows.sh prepares, never during the build.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
if(NOT CMAKE_HOST_WIN32 AND NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(ORVEX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(ORVEX_WINE NAMES wine64 wine)
  if(ORVEX_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVEX_WINE})
  endif()
endif()
