# Reproducible builds: the one time written into what the build makes (the
# file times Qt's resource compiler keeps, the times of the files in the
# packages, the Windows files' time stamps) is SOURCE_DATE_EPOCH as found
# when configuring, or else the last commit's time. Every custom command
# (rcc, the Windows packing) runs with it, and so does cpack
# (cmake/packaging.cmake). Sets QUORVEL_SOURCE_DATE_EPOCH, empty where
# there is neither.
set(QUORVEL_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(QUORVEL_SOURCE_DATE_EPOCH STREQUAL "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE QUORVEL_SOURCE_DATE_EPOCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
if(NOT QUORVEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(STATUS "Neither SOURCE_DATE_EPOCH nor a commit: the build's times are the clock's")
  set(QUORVEL_SOURCE_DATE_EPOCH "")
  return()
endif()
set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM
             "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${QUORVEL_SOURCE_DATE_EPOCH}")
