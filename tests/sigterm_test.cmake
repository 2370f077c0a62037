# The real program and the real simulator, ended by SIGTERM with logging on.
# The program talks to the gateway host it was built with, so the simulator
# has to take that port: one such test at a time, and only when the host is
# this machine.
if(KESTRIN_GATEWAY_HOST MATCHES "^(127\\.0\\.0\\.1|localhost)(:([0-9]+))?$")
    set(sigterm_port 80)
    if(CMAKE_MATCH_3)
        set(sigterm_port ${CMAKE_MATCH_3})
    endif()
    add_test(NAME sigterm_test
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/sigterm_test.sh
            $<TARGET_FILE:kestrin-3> $<TARGET_FILE:onewire-gateway-sim> ${sigterm_port})
    set_tests_properties(sigterm_test PROPERTIES
        RUN_SERIAL TRUE
        RESOURCE_LOCK port${sigterm_port}
        SKIP_RETURN_CODE 77
        TIMEOUT 60)
    # The viewer on a log the logger is writing: same port, same lock.
    add_test(NAME logview_live_test
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/logview_live_test.sh
            $<TARGET_FILE:kestrin-3> $<TARGET_FILE:onewire-gateway-sim> $<TARGET_FILE:kestrin-logview> ${sigterm_port})
    set_tests_properties(logview_live_test PROPERTIES
        RUN_SERIAL TRUE
        RESOURCE_LOCK port${sigterm_port}
        SKIP_RETURN_CODE 77
        TIMEOUT 90)
else()
    message(STATUS "logview_live_test left out: the gateway host ${KESTRIN_GATEWAY_HOST} is not this machine")
    message(STATUS "sigterm_test left out: the gateway host ${KESTRIN_GATEWAY_HOST} is not this machine")
endif()
