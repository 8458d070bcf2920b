# The Debian package, made with `cpack -G DEB` from the install rules (scripts/package).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ravelin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ravelin developers")
set(CPACK_PACKAGE_CONTACT "Ravelin developers <developers@ravelinmonitor.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "radiation monitor for a GM counter on the sound input")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ravelin developers <developers@ravelinmonitor.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description under the summary; cpack indents it and turns the empty line into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ravelin counts the pulses of a Geiger-Mueller tube whose pulse output is
wired into the computer's sound input, and shows the elapsed seconds, the
total count, the counts per minute and the dose rate in microsieverts per
hour, once a second.

It keeps a per-minute CSV log, sounds a two-stage dose alarm, draws a
ten-minute trend graph and a waveform view for setting the threshold, and
can run without a window or publish its readings to an MQTT broker. The
user interface is in Japanese.")
# Libraries the program links are found by dpkg-shlibdeps; what follows is what no
# link reveals: the Qt platform plugins that open a window, a Japanese font for the
# interface, and the PulseAudio client that Qt Multimedia captures and plays through.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipafont-gothic | fonts-noto-cjk, libpulse0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The station service's user is made with adduser; its settings file is a conffile.
string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${RAVELIN_DEBIAN_CONTROL_EXTRA})

include(CPack)
