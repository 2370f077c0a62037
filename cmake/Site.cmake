# The site file a build is made for (`make SITE=path/site.ini`, or
# -DKESTRIN_SITE=...): kestrin-3 reads that file's gateway and sensors instead
# of the built-in table, and the package carries the file.
#
# There is one reader of the file, kestrin_site's. So configuring builds the
# host tool kestrin-site-gen with it, as a project of its own in site-gen/,
# and runs it: it writes site/builtsite.cpp (compiled into kestrin-3) and
# site/site.cmake (the values used here). A file with an error stops the
# configure step with the reader's file:line: message. Configuring again
# follows a change of the file or of the reader.
#
# Sets KESTRIN_BUILD_HOST (the gateway kestrin-3 reads), KESTRIN_BUILD_SENSORS
# (how many it reads) and KESTRIN_PACKAGE_VERSION (PROJECT_VERSION, and for a
# site +ID, the [bridge] site or the file's name: 1.0.0+lab-a), and with a
# site file KESTRIN_SITE_FILE, KESTRIN_SITE_ID and KESTRIN_SITE_TABLE_SOURCE. built-site.txt in the build folder tells
# scripts/run.sh the host and the site file, one "key=value" a line.
set(KESTRIN_SITE "" CACHE STRING
    "site file to build for (data/site.example.ini shows one); empty: the built-in sensor table and KESTRIN_GATEWAY_HOST")

if(KESTRIN_SITE STREQUAL "")
    set(KESTRIN_BUILD_HOST "${KESTRIN_GATEWAY_HOST}")
    set(KESTRIN_BUILD_SENSORS 11)
    set(KESTRIN_PACKAGE_VERSION "${PROJECT_VERSION}")
    unset(KESTRIN_SITE_FILE)
    message(STATUS "No site file: the built-in sensor table of 11 sensors, gateway ${KESTRIN_BUILD_HOST}")
    file(WRITE "${PROJECT_BINARY_DIR}/built-site.txt" "host=${KESTRIN_BUILD_HOST}\nsite=\n")
    return()
endif()

if(NOT KESTRIN_GATEWAY_HOST STREQUAL KESTRIN_SIMULATOR_HOST)
    message(WARNING "KESTRIN_GATEWAY_HOST=${KESTRIN_GATEWAY_HOST} is not used: the site file ${KESTRIN_SITE} names the gateway")
endif()

# A relative path is taken from the folder cmake was started in, and kept
# absolute: a configure run that the build starts runs in the build folder.
if(NOT KESTRIN_SITE STREQUAL KESTRIN_SITE_GIVEN OR NOT KESTRIN_SITE_ABSOLUTE)
    execute_process(COMMAND pwd OUTPUT_VARIABLE started_in OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(absolute "${KESTRIN_SITE}" ABSOLUTE BASE_DIR "${started_in}")
    set(KESTRIN_SITE_ABSOLUTE "${absolute}" CACHE INTERNAL "the site file, absolute")
    set(KESTRIN_SITE_GIVEN "${KESTRIN_SITE}" CACHE INTERNAL "the site file as it was given")
endif()
set(KESTRIN_SITE_FILE "${KESTRIN_SITE_ABSOLUTE}")

set(site_gen_build "${PROJECT_BINARY_DIR}/site-gen")
set(site_gen_args -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}")
if(CMAKE_CXX_COMPILER_LAUNCHER)
    list(APPEND site_gen_args "-DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}")
endif()
if(CMAKE_PREFIX_PATH)
    list(APPEND site_gen_args "-DCMAKE_PREFIX_PATH=${CMAKE_PREFIX_PATH}")
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} -S "${PROJECT_SOURCE_DIR}/tools/site-gen" -B "${site_gen_build}" -G "${CMAKE_GENERATOR}" ${site_gen_args}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(status EQUAL 0)
    execute_process(COMMAND ${CMAKE_COMMAND} --build "${site_gen_build}"
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot build kestrin-site-gen in ${site_gen_build}:\n${output}")
endif()

set(site_out "${PROJECT_BINARY_DIR}/site")
execute_process(
    COMMAND "${site_gen_build}/kestrin-site-gen" --shown-as "${KESTRIN_SITE}" "${KESTRIN_SITE_FILE}" "${site_out}"
    RESULT_VARIABLE status ERROR_VARIABLE problem ERROR_STRIP_TRAILING_WHITESPACE)
# Configure again when the file changes (or goes), or the reader does.
file(GLOB reader_sources "${PROJECT_SOURCE_DIR}/src/site/*" "${PROJECT_SOURCE_DIR}/tools/site-gen/*")
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${KESTRIN_SITE_FILE}" ${reader_sources})
if(NOT status EQUAL 0)
    # The message alone on its line, as editors expect it.
    message(NOTICE "${problem}")
    message(FATAL_ERROR "the site file ${KESTRIN_SITE} cannot be used; nothing is built from it")
endif()

include("${site_out}/site.cmake")
set(KESTRIN_BUILD_HOST "${KESTRIN_SITE_HOST}")
set(KESTRIN_BUILD_SENSORS ${KESTRIN_SITE_SENSORS})
# A Debian version has no "_".
string(REPLACE "_" "." site_version "${KESTRIN_SITE_ID}")
set(KESTRIN_PACKAGE_VERSION "${PROJECT_VERSION}+${site_version}")
set(KESTRIN_SITE_TABLE_SOURCE "${site_out}/builtsite.cpp")
file(WRITE "${PROJECT_BINARY_DIR}/built-site.txt" "host=${KESTRIN_BUILD_HOST}\nsite=${KESTRIN_SITE_FILE}\n")
message(STATUS "Site file ${KESTRIN_SITE}: site ${KESTRIN_SITE_ID}, ${KESTRIN_SITE_SENSORS} sensors, gateway ${KESTRIN_BUILD_HOST}")
