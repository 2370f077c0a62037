# Installation and packaging, of the plain build only: a sanitizer build is
# never what gets installed or shipped.
if(KESTRIN_SANITIZE)
    return()
endif()

# Every cmake --install and cpack run rewrites
# install_manifest.txt in the build folder, which the tracked install of
# install_test reads, so these run one at a time.
add_test(NAME install_test
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR}
        ${KESTRIN_BUILD_HOST} $<TARGET_EXISTS:kestrin-logview> "${KESTRIN_SITE_FILE}")
set_tests_properties(install_test PROPERTIES
    RESOURCE_LOCK install_manifest
    SKIP_RETURN_CODE 77
    TIMEOUT 120)

add_test(NAME package_test
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/package_test.sh ${PROJECT_BINARY_DIR} ${KESTRIN_PACKAGE_VERSION})
set_tests_properties(package_test PROPERTIES
    RESOURCE_LOCK install_manifest
    SKIP_RETURN_CODE 77
    TIMEOUT 300)

# The installed program against the simulator: only when the gateway host is
# this machine, and only one such test at a time (realprogram.cmake).
if(KESTRIN_REAL_PROGRAM_PORT)
    add_test(NAME installed_run_test
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/installed_run_test.sh ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR}
            ${KESTRIN_REAL_PROGRAM_PORT})
    set_tests_properties(installed_run_test PROPERTIES
        RUN_SERIAL TRUE
        RESOURCE_LOCK "port${KESTRIN_REAL_PROGRAM_PORT};install_manifest"
        SKIP_RETURN_CODE 77
        TIMEOUT 120)
endif()
