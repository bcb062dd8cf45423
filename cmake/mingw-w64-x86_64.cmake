# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain (package g++-mingw-w64-x86-64-posix).
# The posix thread variant of the compiler is the one whose libstdc++ has std::thread and the full
# std::filesystem. Test executables run through Wine when CTest starts them.
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DDOVRA_BUILD_GUI=OFF -DDOVRA_FMT_HEADERS=/usr/include -DDOVRA_GTEST_SOURCE=/usr/src/googletest
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DOVRA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DOVRA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DOVRA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DOVRA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DOVRA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in statically (libgcc, libstdc++, winpthread), so an .exe runs on a bare Windows or
# under Wine without a hunt for the toolchain's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian installs Wine's 64-bit loader outside PATH unless the wine package adds its wrapper.
find_program(DOVRA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(DOVRA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${DOVRA_WINE})
endif()
