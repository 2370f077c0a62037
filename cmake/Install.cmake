# What `make install` and the Debian package put on a machine: the programs,
# a menu entry, icons and AppStream metadata for each window program, the
# manual pages, the README, the licence and an example site file, the site
# file of a build for a site, and the bridge's systemd user unit.
#
# Included at the end of the top-level CMakeLists.txt, after every
# add_subdirectory: whether the log viewer is installed depends on whether its
# target exists.
include(GNUInstallDirs)

set(KESTRIN_WEB_URL "https://kestrin3.org" CACHE STRING
    "Home page of the project, named in the AppStream metadata and the package; screenshots are under its docs/")
set(KESTRIN_MAINTAINER "The Kestrin-3 authors <maintainers@kestrin3.org>" CACHE STRING
    "Maintainer of the Debian package and author of its changelog entry")

find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GZIP gzip REQUIRED)

set(kestrin_data_src ${PROJECT_SOURCE_DIR}/data)
set(kestrin_data_out ${PROJECT_BINARY_DIR}/data)
set(kestrin_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrin-3)
set(kestrin_icon_sizes 16 24 32 48 64 128 256)
set(kestrin_generated)

# Deterministic gzip (-n: no name, no time stamp), as Debian wants manual
# pages and changelogs.
function(kestrin_gzip input output)
    add_custom_command(OUTPUT ${output}
        COMMAND sh -c "\"$1\" -9nc \"$2\" > \"$3\"" sh ${GZIP} ${input} ${output}
        DEPENDS ${input}
        VERBATIM)
    set(kestrin_generated ${kestrin_generated} ${output} PARENT_SCOPE)
endfunction()

# --- programs ---------------------------------------------------------------
# No install RPATH: everything the programs link comes from the system's
# library folders, so nothing may point back into the build tree.
install(TARGETS kestrin-3 onewire-gateway-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(kestrin_windows "org.kestrin3.logger:kestrin-3")
set(kestrin_manpages kestrin-3.1 onewire-gateway-sim.1 kestrin-site.5)
if(TARGET kestrin-logview)
    install(TARGETS kestrin-logview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND kestrin_windows "org.kestrin3.logview:kestrin-logview")
    list(APPEND kestrin_manpages kestrin-logview.1)
else()
    message(STATUS "kestrin-logview is not part of this build: its menu entry, icons, metadata and manual page are not installed")
endif()

# The bridge runs unattended: a systemd user unit, found by systemd under
# both /usr/lib/systemd/user and /usr/local/lib/systemd/user.
install(TARGETS kestrin-bridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
list(APPEND kestrin_manpages kestrin-bridge.1)
install(FILES ${kestrin_data_src}/systemd/kestrin-bridge.service DESTINATION lib/systemd/user)

# --- menu entries, icons, AppStream metadata ---------------------------------
foreach(window IN LISTS kestrin_windows)
    string(REPLACE ":" ";" window "${window}")
    list(GET window 0 id)

    install(FILES ${kestrin_data_src}/applications/${id}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)

    configure_file(${kestrin_data_src}/metainfo/${id}.metainfo.xml.in
        ${kestrin_data_out}/metainfo/${id}.metainfo.xml @ONLY)
    install(FILES ${kestrin_data_out}/metainfo/${id}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

    set(svg ${kestrin_data_src}/icons/${id}.svg)
    install(FILES ${svg} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
    foreach(size IN LISTS kestrin_icon_sizes)
        set(png ${kestrin_data_out}/icons/${size}x${size}/${id}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${kestrin_data_out}/icons/${size}x${size}
            COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${svg}
            DEPENDS ${svg}
            VERBATIM)
        list(APPEND kestrin_generated ${png})
        install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endforeach()

# --- manual pages -------------------------------------------------------------
# The logger's page names the gateway host and the sensors of this build.
foreach(page IN LISTS kestrin_manpages)
    string(REGEX REPLACE "^.*\\." "" section "${page}")
    set(source ${kestrin_data_src}/man/${page})
    if(EXISTS ${source}.in)
        configure_file(${source}.in ${kestrin_data_out}/man/${page} @ONLY)
        set(source ${kestrin_data_out}/man/${page})
    endif()
    kestrin_gzip(${source} ${kestrin_data_out}/man/${page}.gz)
    install(FILES ${kestrin_data_out}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()

# --- the site file ------------------------------------------------------------
# Where the programs look for it (the XDG rules' /etc/xdg), whatever the
# prefix; the package marks it a conffile (Package.cmake).
if(KESTRIN_SITE_FILE)
    install(FILES ${KESTRIN_SITE_FILE} DESTINATION /etc/xdg/Kestrin-3 RENAME site.ini)
endif()

# --- documentation --------------------------------------------------------------
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE ${kestrin_data_src}/site.example.ini
    DESTINATION ${kestrin_docdir})

# Files only the Debian package carries (its copyright file, changelog and
# lintian overrides); the package is built from both components.
# To Debian a version with a hyphen (a site's, 1.0.0+lab-a) is an upstream
# version and a revision, and such a package's changelog is
# changelog.Debian.gz.
set(changelog changelog)
if(KESTRIN_PACKAGE_VERSION MATCHES "-")
    set(changelog changelog.Debian)
endif()
configure_file(${kestrin_data_src}/debian/changelog.in ${kestrin_data_out}/debian/${changelog} @ONLY)
kestrin_gzip(${kestrin_data_out}/debian/${changelog} ${kestrin_data_out}/debian/${changelog}.gz)
install(FILES ${kestrin_data_src}/debian/copyright ${kestrin_data_out}/debian/${changelog}.gz
    DESTINATION ${kestrin_docdir} COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${kestrin_data_src}/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME kestrin-3
    COMPONENT debian EXCLUDE_FROM_ALL)

add_custom_target(kestrin_install_data ALL DEPENDS ${kestrin_generated})
