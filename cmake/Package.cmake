# `make package`: a Debian package built by CPack from what `make install`
# installs, plus the files only a Debian package carries (component debian).
# The gateway host and the sensors are the ones this build was configured
# with; a site's package says which site in its version (Site.cmake) and
# carries the site file as a conffile.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrin-3)
set(CPACK_PACKAGE_VERSION ${KESTRIN_PACKAGE_VERSION})
if(KESTRIN_SITE_FILE)
    set(kestrin_built_for "This one reads ${KESTRIN_BUILD_SENSORS} sensors from the gateway at
${KESTRIN_BUILD_HOST}, those of the site ${KESTRIN_SITE_ID}, and installs its
site file as /etc/xdg/Kestrin-3/site.ini.")
    file(WRITE ${PROJECT_BINARY_DIR}/debian/conffiles "/etc/xdg/Kestrin-3/site.ini\n")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/conffiles)
else()
    set(kestrin_built_for "This one reads the built-in table of eleven sensors from the gateway at
${KESTRIN_BUILD_HOST}.")
endif()
set(CPACK_PACKAGE_VENDOR "The Kestrin-3 authors")
set(CPACK_PACKAGE_CONTACT "${KESTRIN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data logger for DS18B20 thermometers behind a 1-Wire gateway")
set(CPACK_PACKAGE_DESCRIPTION
"Kestrin-3 reads the DS18B20 temperature sensors of its table, one after
another, from the web server of a networked 1-Wire gateway, shows each
reading, and while logging is on appends one record per pass to a text file:
the time stamp, then one temperature per sensor.

The package holds the logger (kestrin-3), its log viewer (kestrin-logview)
when it was built, a simulator of the gateway (onewire-gateway-sim) for
trying the logger without the hardware, and kestrin-bridge, which follows
the log and raises alarms, serves Prometheus metrics and publishes to an
MQTT broker with Home Assistant discovery (a systemd user unit runs it).

The gateway's host and the sensors are fixed when the package is built.
${kestrin_built_for}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESTRIN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESTRIN_WEB_URL}")
# The run-time dependencies are what dpkg-shlibdeps finds the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# Everything of the default install, then the Debian-only files.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/"
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")

set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/" "/fuzz-out/")

include(CPack)
