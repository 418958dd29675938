# zumo_add_test(<name> SOURCES <files...> LIBS <targets...> [TIMEOUT <seconds>] [SERIAL] [OWN_BUS]
#               [WRAP <command...>])
#   One QtTest executable registered with CTest; WRAP runs it through a command (a script
#   that sets up the session it needs), given the executable and its arguments.
# zumo_add_test_run(<name> TARGET <test> [TIMEOUT <seconds>] [SERIAL] [OWN_BUS] [ENV <VAR=value>...])
#   The executable of an earlier zumo_add_test run once more under another name and with
#   more environment, so that a second setting of the same test costs no second build.
#
# OWN_BUS runs the test on a session bus of its own, for tests that own well-known names
# (a stand-in notification server) which other tests running beside it must not see.
# Widget tests run offscreen; QtTest's own watchdog is set below the CTest timeout so that a
# hung function is reported by name. Pictures that tests save for a look by eye go to the
# build folder (see tests/TestShots.h).
function(zumo_add_test name)
    cmake_parse_arguments(T "SERIAL;OWN_BUS" "TIMEOUT" "SOURCES;LIBS;WRAP" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    if(ZUMO_SANITIZE)
        # The leak checker of this toolchain misreads the thread-local block of a library that
        # is loaded later with dlopen, and its tracer then crashes ("Tracer caught signal 11")
        # after every test has passed. libjpeg is such a library: Qt's JPEG plugin loads it on
        # first use. Loaded with the test from the start, its block lies in the static area.
        target_link_options(${name} PRIVATE
            LINKER:--push-state,--no-as-needed,-l:libjpeg.so.62,--pop-state)
    endif()
    target_compile_definitions(${name} PRIVATE
        ZUMO_TEST_SHOT_DIR="${CMAKE_BINARY_DIR}/test-shots/${name}")
    # A test includes its own moc output, which leaves the generated moc file empty: loading
    # the shared precompiled header (cmake/ZumoPch.cmake) would cost it more than it saves.
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/mocs_compilation.cpp
        TARGET_DIRECTORY ${name} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    set(flags)
    if(T_SERIAL)
        list(APPEND flags SERIAL)
    endif()
    if(T_OWN_BUS)
        list(APPEND flags OWN_BUS)
    endif()
    if(T_TIMEOUT)
        list(APPEND flags TIMEOUT ${T_TIMEOUT})
    endif()
    if(T_WRAP)
        list(APPEND flags WRAP ${T_WRAP})
    endif()
    zumo_add_test_run(${name} TARGET ${name} ${flags})
endfunction()

function(zumo_add_test_run name)
    cmake_parse_arguments(T "SERIAL;OWN_BUS" "TIMEOUT;TARGET" "ENV;WRAP" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    if(T_WRAP)
        add_test(NAME ${name} COMMAND ${T_WRAP} $<TARGET_FILE:${T_TARGET}>)
    elseif(T_OWN_BUS)
        add_test(NAME ${name} COMMAND dbus-run-session -- $<TARGET_FILE:${T_TARGET}>)
    else()
        add_test(NAME ${name} COMMAND ${T_TARGET})
    endif()
    math(EXPR fn_timeout_ms "${T_TIMEOUT} * 1000 - 5000")
    set(env
        QT_QPA_PLATFORM=offscreen
        QTEST_FUNCTION_TIMEOUT=${fn_timeout_ms}
        ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1
        LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
        ${T_ENV})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
    if(T_SERIAL)
        set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
    endif()
endfunction()
