# zumo_add_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <seconds>] [SERIAL] [OWN_BUS])
#
# OWN_BUS runs the test on a session bus of its own, for tests that own well-known names
# (a stand-in notification server) which other tests running beside it must not see.
# One QtTest executable registered with CTest. Widget tests run offscreen; QtTest's own
# watchdog is set below the CTest timeout so that a hung function is reported by name.
function(zumo_add_test name)
    cmake_parse_arguments(T "SERIAL;OWN_BUS" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    if(T_OWN_BUS)
        add_test(NAME ${name} COMMAND dbus-run-session -- $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    math(EXPR fn_timeout_ms "${T_TIMEOUT} * 1000 - 5000")
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=${fn_timeout_ms};ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    if(T_SERIAL)
        set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
    endif()
endfunction()
