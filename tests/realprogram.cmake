# Tests that run the real kestrin-3 against the real simulator on an X server
# of their own. The program talks to the gateway host it was built with, so
# the simulator has to take that port: one such test at a time, and only when
# the host is this machine. They expect the built-in table, so a build for a
# site file leaves them out (tests/site_build_test.sh runs one such build).
set(KESTRIN_REAL_PROGRAM_PORT "")
if(KESTRIN_SITE_FILE)
    message(STATUS "real-program tests left out: this build reads the sensors of ${KESTRIN_SITE}, not the built-in table")
elseif(KESTRIN_BUILD_HOST MATCHES "^(127\\.0\\.0\\.1|localhost)(:([0-9]+))?$")
    set(KESTRIN_REAL_PROGRAM_PORT 80)
    if(CMAKE_MATCH_3)
        set(KESTRIN_REAL_PROGRAM_PORT ${CMAKE_MATCH_3})
    endif()
else()
    message(STATUS "real-program tests left out: the gateway host ${KESTRIN_BUILD_HOST} is not this machine")
endif()

# kestrin_add_program_test(NAME SCRIPT TIMEOUT [WITH TARGET] [ENVIRONMENT...])
# WITH hands the script a further program of the build (the viewer, the
# bridge) between the simulator and the port.
function(kestrin_add_program_test name script timeout)
    if(NOT KESTRIN_REAL_PROGRAM_PORT)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 3 arg "" "WITH" "")
    set(programs $<TARGET_FILE:kestrin-3> $<TARGET_FILE:onewire-gateway-sim>)
    if(arg_WITH)
        list(APPEND programs $<TARGET_FILE:${arg_WITH}>)
    endif()
    add_test(NAME ${name}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/${script} ${programs} ${KESTRIN_REAL_PROGRAM_PORT})
    set_tests_properties(${name} PROPERTIES
        RUN_SERIAL TRUE
        RESOURCE_LOCK port${KESTRIN_REAL_PROGRAM_PORT}
        SKIP_RETURN_CODE 77
        TIMEOUT ${timeout})
    if(arg_UNPARSED_ARGUMENTS)
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${arg_UNPARSED_ARGUMENTS}")
    endif()
endfunction()
