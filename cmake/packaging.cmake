# Installation into the usual places and a Debian package built with CPack.
include(GNUInstallDirs)

install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quorvel-strip)
  install(TARGETS quorvel-strip RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/resources/quorvel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/quorvel.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel developers")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <quorvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Hide a short text in a strip picture and read it back")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvel turns a short text and three key numbers into a thin strip picture, every three\n\
characters one pixel column, and reads the text back from the picture. It hides a\n\
text from a casual look; it does not protect it. Includes quorvel-strip, the same\n\
strips on the command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Dependencies from the shared libraries the programs actually use.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The main window needs Qt's X11 platform plugin and a font metric-compatible
# with Arial, which no shared library dependency brings.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_STRIP_FILES ON)
include(CPack)
