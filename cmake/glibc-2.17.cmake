# The Linux module Maya users get: Debian's clang 14 and LLVM's C++ runtime (libc++, libc++abi,
# libunwind) against a glibc 2.17 sysroot (CentOS 7's), so that it needs glibc 2.17 and no C++
# runtime of the machine's:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/glibc-2.17.cmake -DMOCAP_SYSROOT=<sysroot>
#         -DMOCAP_DEPS_PREFIXES="<prefixes>" ...
# tools/build-deps.sh glibc217-sysroot prints the sysroot, tools/build-deps.sh glibc217 the
# prefixes (libc++ as a shared library, protobuf and zlib, GoogleTest, fast_float). Programs run
# under the sysroot's own loader through tools/glibc217-run.sh.
#
# As in Maya, the programs and the libraries they link (the stand-in devkit, the tests) share one
# C++ runtime, here libc++.so.1 from the prefixes, while a plug-in links
# MOCAP_STATIC_CXX_RUNTIME, the static archives, and keeps that copy to itself.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(NOT IS_DIRECTORY "${MOCAP_SYSROOT}/usr/include")
  message(FATAL_ERROR "MOCAP_SYSROOT (${MOCAP_SYSROOT}) is no glibc 2.17 sysroot: pass "
                      "-DMOCAP_SYSROOT=<the path tools/build-deps.sh glibc217-sysroot prints>")
endif()
set(CMAKE_SYSROOT ${MOCAP_SYSROOT})
# For the tests that depend on the C library's own behaviour.
set(MOCAP_GLIBC_VERSION 2.17)
foreach(prefix IN LISTS MOCAP_DEPS_PREFIXES)
  if(EXISTS ${prefix}/lib/libc++.so.1)
    set(sharedRuntimeDir ${prefix}/lib)
  endif()
endforeach()
if(NOT sharedRuntimeDir)
  message(FATAL_ERROR "No lib/libc++.so.1 in MOCAP_DEPS_PREFIXES (${MOCAP_DEPS_PREFIXES}): pass "
                      "-DMOCAP_DEPS_PREFIXES=<the prefixes tools/build-deps.sh glibc217 prints>")
endif()

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(llvmLib /usr/lib/llvm-14/lib)
set(MOCAP_STATIC_CXX_RUNTIME ${llvmLib}/libc++.a ${llvmLib}/libc++abi.a ${llvmLib}/libunwind.a)

set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
# The sysroot has no GCC beside it: compiler-rt's builtins and start files instead of libgcc's,
# and LLVM's unwinder (in the runtime) instead of libgcc_s.
set(linkFlags "-fuse-ld=lld --rtlib=compiler-rt -unwindlib=none")
# Programs find the shared runtime where it was built. They run under the sysroot's loader
# started by hand (tools/glibc217-run.sh), which in glibc 2.17 runs a position-independent
# program's constructors twice: they get a fixed address.
set(CMAKE_EXE_LINKER_FLAGS_INIT "${linkFlags} -no-pie -Wl,-rpath,${sharedRuntimeDir}")
# glibc 2.17's start file crti.o would export _init and _fini from every shared object.
set(CMAKE_SHARED_LINKER_FLAGS_INIT
    "${linkFlags} -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/glibc-2.17.map")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CMAKE_SHARED_LINKER_FLAGS_INIT}")
# glibc 2.17 keeps threads and dlopen in libraries of their own.
set(CMAKE_CXX_STANDARD_LIBRARIES "-nostdlib++ ${sharedRuntimeDir}/libc++.so.1 -lpthread -ldl")

set(CMAKE_FIND_ROOT_PATH ${MOCAP_DEPS_PREFIXES})
# Build tools (protoc) come from the machine; libraries and headers only from the roots.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The cache variables carry the sysroot and prefixes into try_compile projects too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MOCAP_SYSROOT MOCAP_DEPS_PREFIXES)

set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/glibc217-run.sh
                                  ${MOCAP_SYSROOT})
