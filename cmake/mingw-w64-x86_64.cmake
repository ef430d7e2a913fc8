# CMake toolchain file: 64-bit Windows (x86_64-w64-mingw32, posix thread model)
# cross-built on Debian 12.
#
#   cmake -G Ninja -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Packages (scripts/setup-deps installs them): g++-mingw-w64-x86-64-posix,
# libz-mingw-w64-dev, libcli11-dev, nlohmann-json3-dev, googletest, wine, wine64.
#
# The executables are static and need only Windows system DLLs; zlib is the
# static libz.a, never the import library. CLI11 and nlohmann-json are
# header-only: they are reached through a folder of two links, so that the
# host's /usr/include (whose C library headers would shadow mingw's) never is.
# Test executables run under Wine through wine-run.sh beside this file.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw_triple x86_64-w64-mingw32)
# The posix thread model: the win32 model of GCC 12 has no std::thread.
set(CMAKE_C_COMPILER /usr/bin/${_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${_mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# zlib: the static archive (Platform/Windows-GNU.cmake would prefer libz.dll.a).
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/${_mingw_triple}/lib/libz.a CACHE FILEPATH "static zlib for mingw-w64")
set(ZLIB_INCLUDE_DIR /usr/${_mingw_triple}/include CACHE PATH "zlib headers for mingw-w64")

# The header-only libraries, and nothing else of /usr/include.
set(PLATTERO_HOST_HEADER_ONLY_DIR "${CMAKE_BINARY_DIR}/host-header-only")
foreach(_hdr CLI nlohmann)
  if(EXISTS /usr/include/${_hdr} AND NOT EXISTS "${PLATTERO_HOST_HEADER_ONLY_DIR}/${_hdr}")
    file(MAKE_DIRECTORY "${PLATTERO_HOST_HEADER_ONLY_DIR}")
    file(CREATE_LINK /usr/include/${_hdr} "${PLATTERO_HOST_HEADER_ONLY_DIR}/${_hdr}" SYMBOLIC)
  endif()
endforeach()

# Test executables run under Wine, in a prefix of the build folder's own.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run;--prefix=${CMAKE_BINARY_DIR}/wineprefix")
