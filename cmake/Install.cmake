# Installation into the usual places (GNUInstallDirs), and the desktop files made for it.
# The build tree gets the same share/ layout, so the program and the tests find
# everything there as they would once installed.

set(RAVELIN_APP_ID org.ravelinmonitor.ravelin)
set(RAVELIN_ICON_SIZES 16 32 48 64 128 256)
set(RAVELIN_SHARE ${CMAKE_BINARY_DIR}/share)
set(RAVELIN_PACKAGING ${CMAKE_BINARY_DIR}/packaging)
# Debian wants 0755 folders whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The manual page, from the option table --help prints.
add_executable(ravelin_make_manpage ${PROJECT_SOURCE_DIR}/data/man/make_manpage.cpp)
target_link_libraries(ravelin_make_manpage PRIVATE ravelin_app)
set(RAVELIN_MANPAGE ${RAVELIN_SHARE}/man/man1/ravelin.1)
add_custom_command(
  OUTPUT ${RAVELIN_MANPAGE} ${RAVELIN_PACKAGING}/ravelin.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RAVELIN_SHARE}/man/man1 ${RAVELIN_PACKAGING}
  COMMAND ravelin_make_manpage ${RAVELIN_MANPAGE}
  COMMAND gzip -9nc ${RAVELIN_MANPAGE} > ${RAVELIN_PACKAGING}/ravelin.1.gz
  DEPENDS ravelin_make_manpage
  COMMENT "Writing the manual page"
  VERBATIM)
set(RAVELIN_DATA_FILES ${RAVELIN_MANPAGE} ${RAVELIN_PACKAGING}/ravelin.1.gz)

# Icons: the hand-drawn SVG, and PNGs rendered from it at the sizes desktops ask for.
find_program(RSVG_CONVERT rsvg-convert)
set(RAVELIN_ICON_SVG ${PROJECT_SOURCE_DIR}/data/icons/ravelin.svg)
if(RSVG_CONVERT)
  foreach(size IN LISTS RAVELIN_ICON_SIZES)
    set(dir ${RAVELIN_SHARE}/icons/hicolor/${size}x${size}/apps)
    add_custom_command(
      OUTPUT ${dir}/ravelin.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${dir}/ravelin.png ${RAVELIN_ICON_SVG}
      DEPENDS ${RAVELIN_ICON_SVG}
      COMMENT "Rendering the ${size}x${size} icon"
      VERBATIM)
    list(APPEND RAVELIN_DATA_FILES ${dir}/ravelin.png)
    install(FILES ${dir}/ravelin.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert (librsvg2-bin) not found: the PNG icons are not made; run scripts/install-deps")
endif()
configure_file(${RAVELIN_ICON_SVG} ${RAVELIN_SHARE}/icons/hicolor/scalable/apps/ravelin.svg COPYONLY)

# Desktop entry, AppStream metainfo and the Debian changelog, with the one version.
configure_file(${PROJECT_SOURCE_DIR}/data/ravelin.desktop ${RAVELIN_SHARE}/applications/ravelin.desktop COPYONLY)
set(RAVELIN_METAINFO ${RAVELIN_SHARE}/metainfo/${RAVELIN_APP_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/data/ravelin.metainfo.xml.in ${RAVELIN_METAINFO} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.in ${RAVELIN_PACKAGING}/changelog @ONLY)
add_custom_command(
  OUTPUT ${RAVELIN_PACKAGING}/changelog.gz
  COMMAND gzip -9nc ${RAVELIN_PACKAGING}/changelog > ${RAVELIN_PACKAGING}/changelog.gz
  DEPENDS ${RAVELIN_PACKAGING}/changelog
  VERBATIM)
list(APPEND RAVELIN_DATA_FILES ${RAVELIN_PACKAGING}/changelog.gz)
add_custom_target(ravelin_install_data ALL DEPENDS ${RAVELIN_DATA_FILES})

install(TARGETS ravelin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (cpack, --strip) also drops the compiler's notes, as Debian's own strip does.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/ravelin\")
endif()")
# Whatever the build puts in the data folder (the default alarm sounds among it).
install(DIRECTORY ${RAVELIN_SHARE}/ravelin/ DESTINATION ${CMAKE_INSTALL_DATADIR}/ravelin)
install(FILES ${RAVELIN_SHARE}/applications/ravelin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${RAVELIN_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${RAVELIN_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${RAVELIN_PACKAGING}/ravelin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${RAVELIN_PACKAGING}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README and the user manual, laid out as in the source tree so their links and pictures hold.
set(RAVELIN_MANUAL_PICTURES main-window calibration-result settings-window assistant-result
    history-window web-page-phone)
list(TRANSFORM RAVELIN_MANUAL_PICTURES PREPEND ${PROJECT_SOURCE_DIR}/docs/)
list(TRANSFORM RAVELIN_MANUAL_PICTURES APPEND .png)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/manual.md ${RAVELIN_MANUAL_PICTURES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

include(${CMAKE_CURRENT_LIST_DIR}/Service.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
