# Pieces of the cross build for Windows that the targets need before they
# are defined.

# The same bytes from every build of a commit: the clone's folder is "." in
# whatever the compiler writes of source paths (__FILE__, debug
# information), and the linker writes no time into the programs' headers;
# the packing stamps SOURCE_DATE_EPOCH there (tools/windows/package.sh).
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
add_link_options(LINKER:--no-insert-timestamp)

# GoogleTest from Debian's sources (the googletest package), built with the
# cross compiler; find_package(GTest) then finds this build.
if(BUILD_TESTING)
  set(QUORVEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources for the cross build")
  if(NOT EXISTS ${QUORVEL_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${QUORVEL_GOOGLETEST_SOURCE}: tools/setup.sh --windows installs them")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  include(FetchContent)
  FetchContent_Declare(GTest SOURCE_DIR ${QUORVEL_GOOGLETEST_SOURCE} OVERRIDE_FIND_PACKAGE)
  FetchContent_MakeAvailable(GTest)
endif()

# The test programs run under Wine, in a Wine prefix of the build folder's
# own, with the cross-built Qt's DLLs and plugins found where they were
# unpacked (tools/windows/wine-run.sh).
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${PROJECT_SOURCE_DIR}/tools/windows/wine-run.sh --build ${PROJECT_BINARY_DIR}
      --qt ${QUORVEL_QT_MINGW})
endif()
