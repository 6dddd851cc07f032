# The Windows packages, built by `cmake --build BUILD --target
# windows-package` (make windows): quorvel-VERSION-windows-x64.zip and the
# installer quorvel-VERSION-setup.exe, both programs with every DLL they
# load, in the build folder (tools/windows/package.sh).
find_program(QUORVEL_MAKENSIS makensis)
find_program(QUORVEL_ZIP zip)
if(NOT QUORVEL_MAKENSIS OR NOT QUORVEL_ZIP)
  message(STATUS "makensis or zip not found: no Windows packages (tools/setup.sh --windows)")
  return()
endif()
add_custom_target(windows-package
  COMMAND ${PROJECT_SOURCE_DIR}/tools/windows/package.sh ${PROJECT_BINARY_DIR} ${PROJECT_VERSION}
          ${QUORVEL_QT_MINGW} $<TARGET_FILE:quorvel> $<TARGET_FILE:quorvel-strip>
  COMMENT "Packing quorvel-${PROJECT_VERSION}-windows-x64.zip and quorvel-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_dependencies(windows-package quorvel quorvel-strip)
