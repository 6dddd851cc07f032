# Installation into the usual places and two Debian packages built with
# CPack from one build: quorvel, the window (component "window"), and
# quorvel-strip, the command line (component "strip"), which needs no
# graphics library.
include(GNUInstallDirs)

set(QUORVEL_CONTACT "Quorvel developers <quorvel@quorvel.example.org>")

# The folders installation makes are 0755 whatever the umask (the files are
# 0644 and the programs 0755 anyway), in the packages too.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})

set(quorvel_component window)
set(quorvel-strip_component strip)
foreach(program quorvel quorvel-strip)
  set(component ${${program}_component})
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  # Without the compilers' version notes (the .comment section, which the C
  # run time's start files bring too), as Debian's own packages are stripped.
  install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\"
    COMMAND_ERROR_IS_FATAL ANY)" COMPONENT ${component})
  install(FILES ${PROJECT_SOURCE_DIR}/resources/${program}.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${program}
          COMPONENT ${component})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/quorvel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${QUORVEL_APP_ID}.desktop COMPONENT window)
install(FILES ${PROJECT_SOURCE_DIR}/resources/quorvel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME ${QUORVEL_APP_ID}.metainfo.xml COMPONENT window)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quorvel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME quorvel.png COMPONENT window)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quorvel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT window)
install(FILES ${PROJECT_SOURCE_DIR}/resources/quorvel-strip.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME quorvel-strip COMPONENT strip)

# The documentation: the user's README with the picture it shows (the
# repository's README is the developers'), the changelog gzipped without
# name or time stamp (so every build gives the same bytes), and the licence
# in Debian's machine-readable copyright format, its text taken from LICENSE.
# Each package has its changelog and copyright.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quorvel)
install(FILES ${PROJECT_SOURCE_DIR}/docs/README.user.md DESTINATION ${doc_dir} RENAME README.md
        COMPONENT window)
install(FILES ${PROJECT_SOURCE_DIR}/docs/main-window.png DESTINATION ${doc_dir} COMPONENT window)

# The changelog is kept by hand in CHANGELOG.md; the package carries it in
# Debian's changelog format, one entry per "## VERSION - YYYY-MM-DD"
# section, each "### Heading" a change with the list under it.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md changelog_lines)
set(debian_changelog "")
set(entry_trailer "")
set(in_entry FALSE)
foreach(line IN LISTS changelog_lines)
  # An entry may give its time of day in UTC ("## 1.1.0 - 2026-12-07 14:30
  # UTC"), for two releases on one day; otherwise it is midnight.
  if(line MATCHES "^## ([^ ]+) - ([0-9]+)-([0-9]+)-([0-9]+)( ([0-9][0-9]:[0-9][0-9]) UTC)?$")
    string(APPEND debian_changelog "${entry_trailer}")
    set(version ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_2})
    set(day_text ${CMAKE_MATCH_4})
    set(clock "00:00")
    if(CMAKE_MATCH_6)
      set(clock ${CMAKE_MATCH_6})
    endif()
    math(EXPR month "${CMAKE_MATCH_3} + 0")
    math(EXPR day "${CMAKE_MATCH_4} + 0")
    # The day of the week, by Zeller's congruence (0 is Saturday).
    set(y ${year})
    set(m ${month})
    if(m LESS 3)
      math(EXPR m "${m} + 12")
      math(EXPR y "${y} - 1")
    endif()
    math(EXPR weekday "(${day} + 13 * (${m} + 1) / 5 + ${y} % 100 + ${y} % 100 / 4 + ${y} / 400 + 5 * (${y} / 100)) % 7")
    set(weekdays Sat Sun Mon Tue Wed Thu Fri)
    list(GET weekdays ${weekday} weekday)
    math(EXPR month_index "${month} - 1")
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(GET months ${month_index} month_name)
    string(APPEND debian_changelog "quorvel (${version}) unstable; urgency=medium\n\n")
    set(entry_trailer
        "\n -- ${QUORVEL_CONTACT}  ${weekday}, ${day_text} ${month_name} ${year} ${clock}:00 +0000\n\n")
    set(in_entry TRUE)
  elseif(NOT in_entry OR line STREQUAL "")
  elseif(line MATCHES "^### (.*)$")
    string(APPEND debian_changelog "  * ${CMAKE_MATCH_1}:\n")
  elseif(line MATCHES "^- (.*)$")
    string(APPEND debian_changelog "    - ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^  (.*)$")
    string(APPEND debian_changelog "      ${CMAKE_MATCH_1}\n")
  else()
    string(APPEND debian_changelog "  * ${line}\n")
  endif()
endforeach()
string(APPEND debian_changelog "${entry_trailer}")
string(STRIP "${debian_changelog}" debian_changelog)
file(WRITE ${PROJECT_BINARY_DIR}/changelog "${debian_changelog}\n")

find_program(QUORVEL_GZIP gzip)
if(QUORVEL_GZIP)
  set(changelog_gz ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_command(
    OUTPUT ${changelog_gz}
    COMMAND ${QUORVEL_GZIP} -9 -n -c ${PROJECT_BINARY_DIR}/changelog > ${changelog_gz}
    DEPENDS ${PROJECT_BINARY_DIR}/changelog
    COMMENT "Compressing the changelog")
  add_custom_target(quorvel_changelog ALL DEPENDS ${changelog_gz})
  install(FILES ${changelog_gz} DESTINATION ${doc_dir} COMPONENT window)
  install(FILES ${changelog_gz} DESTINATION ${doc_dir}-strip COMPONENT strip)
endif()

file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(FIND "${licence}" "Permission is hereby granted" grant)
string(SUBSTRING "${licence}" ${grant} -1 licence)
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " licence "${licence}")
file(WRITE ${PROJECT_BINARY_DIR}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Quorvel
Upstream-Contact: ${QUORVEL_CONTACT}

Files: *
Copyright: 2026 The Quorvel developers
License: MIT

License: MIT
 ${licence}
")
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${doc_dir} COMPONENT window)
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${doc_dir}-strip COMPONENT strip)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL window strip)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME quorvel)
set(CPACK_DEBIAN_STRIP_PACKAGE_NAME quorvel-strip)
set(CPACK_PACKAGE_VENDOR "The Quorvel developers")
set(CPACK_PACKAGE_CONTACT "${QUORVEL_CONTACT}")
# A summary line, then lines of at most 79 characters: the package adds a
# space before each.
set(about "Quorvel turns a short text and three key numbers into a thin strip\n\
picture, every three characters one pixel column, and reads the text back\n\
from the picture. It hides a text from a casual look; it does not protect\n\
it.\n\
.\n")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION "Hide a short text in a strip picture and read it back\n\
${about}This package holds the window; quorvel-strip makes and reads the same\n\
strips on the command line.")
set(CPACK_DEBIAN_STRIP_DESCRIPTION "Hide a short text in a strip picture, on the command line\n\
${about}This package holds quorvel-strip, which makes and reads the strips on\n\
the command line, without a display or any graphics library.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Dependencies from the shared libraries the programs actually use.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The main window needs Qt's X11 platform plugin and a font metric-compatible
# with Arial, which no shared library dependency brings.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
# Without Qt's Wayland platform plugin a Wayland session warns at every start
# and falls back to X11 (XWayland).
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "qt6-wayland, quorvel-strip")
set(CPACK_STRIP_FILES ON)
# cpack runs with the build's SOURCE_DATE_EPOCH (cmake/source_date.cmake):
# the packages' members and every file in them carry that time, owned by
# root.
if(QUORVEL_SOURCE_DATE_EPOCH)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackSourceDate.cmake)
  file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
       "set(ENV{SOURCE_DATE_EPOCH} ${QUORVEL_SOURCE_DATE_EPOCH})\n")
endif()
include(CPack)
