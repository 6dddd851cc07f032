# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads)
# against the cross-built Qt and the static libspng unpacked by
# tools/windows/unpack.sh:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DQUORVEL_QT_MINGW=build-win/qt6-mingw -DQUORVEL_SPNG_MINGW=build-win/spng-mingw
# `make windows` does this. Qt's generators (moc, rcc, uic) are the host's,
# from Debian's qt6-base-dev-tools, through QT_HOST_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The unpacked Qt and libspng: given on the command line, and handed on to
# CMake's own test builds (try_compile), which read this file again.
set(QUORVEL_QT_MINGW "" CACHE PATH "The unpacked cross-built Qt (qt6-mingw)")
set(QUORVEL_SPNG_MINGW "" CACHE PATH "The unpacked static libspng (spng-mingw)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEL_QT_MINGW QUORVEL_SPNG_MINGW)
if(NOT QUORVEL_QT_MINGW OR NOT EXISTS "${QUORVEL_QT_MINGW}/lib/cmake/Qt6")
  message(FATAL_ERROR "QUORVEL_QT_MINGW must name the unpacked Qt for Windows "
                      "(tools/windows/unpack.sh), not '${QUORVEL_QT_MINGW}'")
endif()
get_filename_component(QUORVEL_QT_MINGW "${QUORVEL_QT_MINGW}" ABSOLUTE)
if(NOT QUORVEL_SPNG_MINGW OR NOT EXISTS "${QUORVEL_SPNG_MINGW}/lib/libspng.a")
  message(FATAL_ERROR "QUORVEL_SPNG_MINGW must name the unpacked libspng for Windows "
                      "(tools/windows/unpack.sh), not '${QUORVEL_SPNG_MINGW}'")
endif()
get_filename_component(QUORVEL_SPNG_MINGW "${QUORVEL_SPNG_MINGW}" ABSOLUTE)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${QUORVEL_QT_MINGW}" "${QUORVEL_SPNG_MINGW}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QT_HOST_PATH /usr CACHE PATH "The host Qt, whose moc, rcc and uic generate")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "The host Qt's CMake packages")
