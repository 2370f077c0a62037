# The real program and the real simulator: SIGKILL and SIGTERM at random
# moments with logging on, and a full disk. Like sigterm_test it needs the
# simulator on the port of the gateway host the program was built with.
if(KESTRIN_GATEWAY_HOST MATCHES "^(127\\.0\\.0\\.1|localhost)(:([0-9]+))?$")
    set(durability_port 80)
    if(CMAKE_MATCH_3)
        set(durability_port ${CMAKE_MATCH_3})
    endif()
    add_test(NAME durability_test
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/durability_test.sh
            $<TARGET_FILE:kestrin-3> $<TARGET_FILE:onewire-gateway-sim> ${durability_port})
    set_tests_properties(durability_test PROPERTIES
        RUN_SERIAL TRUE
        RESOURCE_LOCK port${durability_port}
        SKIP_RETURN_CODE 77
        TIMEOUT 300)
else()
    message(STATUS "durability_test left out: the gateway host ${KESTRIN_GATEWAY_HOST} is not this machine")
endif()
