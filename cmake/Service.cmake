# The station service: the systemd unit, the commented settings file it reads, and the
# Debian maintainer scripts that make its user. The package build sets
# CMAKE_INSTALL_SYSCONFDIR to /etc (scripts/package); elsewhere the file goes under the prefix.

install(FILES ${PROJECT_SOURCE_DIR}/data/systemd/ravelin.service DESTINATION lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/data/systemd/station.conf DESTINATION ${CMAKE_INSTALL_SYSCONFDIR}/ravelin)
# The system-mode PulseAudio unit the manual's station set-up copies into /etc/systemd/system.
install(FILES ${PROJECT_SOURCE_DIR}/data/systemd/pulseaudio-system.service DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(RAVELIN_DEBIAN_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/data/debian/conffiles
    ${PROJECT_SOURCE_DIR}/data/debian/postinst
    ${PROJECT_SOURCE_DIR}/data/debian/prerm
    ${PROJECT_SOURCE_DIR}/data/debian/postrm)
