# Cross-build for 64-bit Windows with Debian's MinGW-w64 (GCC, posix threads),
# run through Wine. The libraries built by scripts/build-mingw-deps.sh are
# found under KVEL_MINGW_DEPS (default: the prefix that script prints).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVEL_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVEL_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVEL_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${KVEL_MINGW_HOST}-windres)

if(NOT KVEL_MINGW_DEPS)
  # The script names its cache folder (and honours KVEL_MINGW_DEPS there).
  execute_process(
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-mingw-deps.sh --print
    OUTPUT_VARIABLE KVEL_MINGW_DEPS OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT KVEL_MINGW_DEPS)
    message(FATAL_ERROR "scripts/build-mingw-deps.sh --print failed")
  endif()
endif()
set(KVEL_MINGW_DEPS "${KVEL_MINGW_DEPS}" CACHE PATH "Prefix of the MinGW builds of Boost.Filesystem, Tcl and GoogleTest")

# The compiler's own sysroot and the dependency prefix; programs are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${KVEL_MINGW_HOST} ${KVEL_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Boost: Debian's headers through a folder holding only a link to them, and
# the static Boost.Filesystem built for MinGW.
set(Boost_NO_BOOST_CMAKE ON)
set(Boost_NO_SYSTEM_PATHS ON)
set(Boost_USE_STATIC_LIBS ON)
set(BOOST_INCLUDEDIR ${KVEL_MINGW_DEPS}/boost-include)
set(BOOST_LIBRARYDIR ${KVEL_MINGW_DEPS}/lib)

# Tcl's Windows build names its import library libtcl86.dll.a.
set(TCL_INCLUDE_PATH ${KVEL_MINGW_DEPS}/include CACHE PATH "")
set(TCL_LIBRARY ${KVEL_MINGW_DEPS}/lib/libtcl86.dll.a CACHE FILEPATH "")

# Programs, tests and GoogleTest's discovery run through Wine, by way of a
# script that keeps Wine's background services off ctest's pipes.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/run-with-wine.sh)
