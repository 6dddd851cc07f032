# On Windows each program's file carries the icon and a version resource
# (name, description, version), from the template version.rc.in.
function(quorvel_add_version_resource target description)
  set(QUORVEL_ICON ${PROJECT_SOURCE_DIR}/resources/quorvel.ico)
  set(QUORVEL_DESCRIPTION "${description}")
  get_target_property(QUORVEL_PROGRAM ${target} OUTPUT_NAME)
  if(NOT QUORVEL_PROGRAM)
    set(QUORVEL_PROGRAM ${target})
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${QUORVEL_ICON})
endfunction()
