# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads), the windows-cross preset:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DMOCAP_DEPS_PREFIXES="<prefixes>" ...
# MOCAP_DEPS_PREFIXES lists the prefixes tools/build-deps.sh mingw64 prints (protobuf,
# GoogleTest, fast_float). Programs run under Wine through tools/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${MOCAP_DEPS_PREFIXES})
# Build tools (protoc) come from the Linux machine; libraries and headers only from the roots.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The cache variable carries the prefixes into try_compile projects too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MOCAP_DEPS_PREFIXES)

# zlib linked in, so no zlib1.dll needs to travel with the module. Older CMake ignores this and
# takes the import library the MinGW zlib also has.
if(CMAKE_VERSION VERSION_LESS 3.24)
  message(FATAL_ERROR "The MinGW-w64 cross build needs CMake 3.24 or later (ZLIB_USE_STATIC_LIBS)")
endif()
set(ZLIB_USE_STATIC_LIBS ON)
