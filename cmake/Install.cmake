# Installing: the programs into bin; the datum and grid lists, the examples and
# the help manual into a data folder of the program's own; the desktop entry,
# icon, AppStream data, manual pages and bash completion where the desktop and
# the shell look for them. `cpack -G DEB` packs the same tree.
include(GNUInstallDirs)

set(ZEVI_APP_ID org.zevi.FileConverter)
set(ZEVI_HOMEPAGE https://zevi.org/fileconv/)
set(ZEVI_INSTALL_DATA_FOLDER ${CMAKE_INSTALL_DATADIR}/zevi-fileconv)

# The programs look for the data folder relative to their own place, so an
# installed tree works under any prefix and after being moved.
file(RELATIVE_PATH ZEVI_DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${ZEVI_INSTALL_DATA_FOLDER})
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/platform/folders.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS ZEVI_INSTALLED_DATA_FROM_BIN="${ZEVI_DATA_FROM_BIN}")

foreach(program zevi-convert zevi-fileconv)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

file(GLOB ZEVI_LIST_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*.txt ${CMAKE_SOURCE_DIR}/data/*.bin)
install(FILES ${ZEVI_LIST_FILES} ${CMAKE_SOURCE_DIR}/data/README.md
        DESTINATION ${ZEVI_INSTALL_DATA_FOLDER})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/examples DESTINATION ${ZEVI_INSTALL_DATA_FOLDER})
# The help manual as the build lays it out beside the programs, once there is one.
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/help DESTINATION ${ZEVI_INSTALL_DATA_FOLDER}
        OPTIONAL)

set(ZEVI_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
if(TARGET zevi-fileconv)
  install(FILES ${ZEVI_PACKAGING}/${ZEVI_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${ZEVI_PACKAGING}/${ZEVI_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${ZEVI_PACKAGING}/${ZEVI_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Rendered from the SVG: rsvg-convert -w 128 -h 128 (librsvg2-bin).
  install(FILES ${ZEVI_PACKAGING}/${ZEVI_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
endif()
if(TARGET zevi-convert)
  install(FILES ${ZEVI_PACKAGING}/zevi-convert.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zevi-convert)
endif()

install(FILES ${ZEVI_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zevi-fileconv)

# Manual pages, compressed as Debian installs them when gzip is at hand.
find_program(ZEVI_GZIP gzip)
set(ZEVI_MAN_PAGES)
foreach(program zevi-convert zevi-fileconv)
  if(NOT TARGET ${program})
    continue()
  endif()
  set(page ${ZEVI_PACKAGING}/man/${program}.1)
  if(ZEVI_GZIP)
    set(packed ${CMAKE_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${packed}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${page} ${packed}
      COMMAND ${ZEVI_GZIP} -9 -n -f ${packed}
      DEPENDS ${page} VERBATIM)
    list(APPEND ZEVI_MAN_PAGES ${packed}.gz)
  else()
    list(APPEND ZEVI_MAN_PAGES ${page})
  endif()
endforeach()
add_custom_target(zevi_man_pages ALL DEPENDS ${ZEVI_MAN_PAGES})
install(FILES ${ZEVI_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(ZEVI_BUILD_TESTS AND TARGET zevi-convert)
  add_test(NAME zevi_completion_test
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/packaging/completion_test.sh
                   ${ZEVI_PACKAGING}/zevi-convert.bash-completion $<TARGET_FILE:zevi-convert>)
  add_test(NAME zevi_install_test
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/packaging/install_test.sh ${CMAKE_BINARY_DIR})
  # Installs into a scratch prefix of its own; other tests may run meanwhile.
  set_tests_properties(zevi_install_test PROPERTIES TIMEOUT 120)
endif()

# A Debian package of the same tree; dpkg-shlibdeps finds the libraries it needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zevi-fileconv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The ZEVI developers")
set(CPACK_PACKAGE_CONTACT "The ZEVI developers <fileconv@zevi.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "converter of text files of GPS positions into Vozirado's exchange format")
set(CPACK_PACKAGE_DESCRIPTION
    "The ZEVI Import File Converter turns column-oriented text files of GPS
positions (spreadsheet exports, logger files, lists typed by hand) into
Vozirado's text exchange format, as waypoints, a route or a track.
.
It comes as a desktop program, zevi-fileconv, and a batch command,
zevi-convert, for scripts and large files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ZEVI_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help manual and the help button open files with the desktop's viewer.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
