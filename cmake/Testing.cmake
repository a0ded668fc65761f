# Test helpers for both builds.
include(GoogleTest)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

if(WIN32)
    # Every Windows test runs under Wine in the build tree's own prefix (see tests/support/wine-run).
    set(QMK_WINE_RUN ${CMAKE_SOURCE_DIR}/tests/support/wine-run)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QMK_WINE_RUN} ${CMAKE_BINARY_DIR})

    # qmk_wine_test(name SOURCES ... [RESOURCES ...] [LIBRARIES ...] [REGISTRY] [DLL]
    #               [TIMEOUT seconds] [ENVIRONMENT VAR=value ...])
    # REGISTRY: the test writes machine-wide registry keys; such tests never run in parallel.
    # DLL: the test drives the DLL through COM (label "dll"). scripts/test runs every test in
    # both builds: the clang build's DLL is the one shipped, gcc's the second compiler's.
    # TIMEOUT: per test, 300 s unless given. ENVIRONMENT: set for every run of the executable.
    function(qmk_wine_test name)
        cmake_parse_arguments(T "REGISTRY;DLL" "TIMEOUT" "SOURCES;RESOURCES;LIBRARIES;ENVIRONMENT"
                              ${ARGN})
        if(NOT T_TIMEOUT)
            set(T_TIMEOUT 300)
        endif()
        add_executable(${name} ${T_SOURCES} ${T_RESOURCES})
        target_link_libraries(${name} PRIVATE qmk_test_support ${T_LIBRARIES})
        target_link_options(${name} PRIVATE -static)
        add_dependencies(${name} qmkihvui)
        set(properties FIXTURES_REQUIRED wine TIMEOUT ${T_TIMEOUT})
        if(T_REGISTRY)
            list(APPEND properties RESOURCE_LOCK registry)
        endif()
        if(T_ENVIRONMENT)
            list(APPEND properties ENVIRONMENT "${T_ENVIRONMENT}")
        endif()
        if(T_DLL)
            list(APPEND properties LABELS dll)
        endif()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 180 PROPERTIES ${properties})
    endfunction()
else()
    # The text layer a second time, with AddressSanitizer and UndefinedBehaviorSanitizer.
    set(QMK_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

    # The same tests with ThreadSanitizer (clang's, as scripts/lib.sh builds the native tree).
    # Its runtime maps memory at fixed places: run without address randomisation, which on
    # kernels with many random mmap bits would otherwise make it abort at start.
    set(QMK_THREAD_SANITIZE -fsanitize=thread -fno-omit-frame-pointer)
    find_program(QMK_SETARCH setarch)
    if(QMK_SETARCH)
        set(QMK_NO_ASLR ${QMK_SETARCH} ${CMAKE_SYSTEM_PROCESSOR} -R)
    endif()

    # qmk_native_test(name [THREADS] SOURCES ...): plain and sanitized executables of the same
    # tests; THREADS adds a third one under ThreadSanitizer (tests that run threads).
    function(qmk_native_test name)
        cmake_parse_arguments(T "THREADS" "" "SOURCES" ${ARGN})
        add_executable(${name} ${T_SOURCES})
        target_link_libraries(${name} PRIVATE qmk_text GTest::gtest_main)
        gtest_discover_tests(${name} TEST_PREFIX "native.")
        add_executable(${name}_sanitized ${T_SOURCES})
        target_compile_options(${name}_sanitized PRIVATE ${QMK_SANITIZE})
        target_link_options(${name}_sanitized PRIVATE ${QMK_SANITIZE})
        target_link_libraries(${name}_sanitized PRIVATE qmk_text_sanitized GTest::gtest_main)
        gtest_discover_tests(${name}_sanitized TEST_PREFIX "sanitized.")
        if(T_THREADS)
            add_executable(${name}_threads ${T_SOURCES})
            target_compile_options(${name}_threads PRIVATE ${QMK_THREAD_SANITIZE})
            target_link_options(${name}_threads PRIVATE ${QMK_THREAD_SANITIZE})
            target_link_libraries(${name}_threads PRIVATE qmk_text GTest::gtest_main)
            set_target_properties(${name}_threads PROPERTIES CROSSCOMPILING_EMULATOR "${QMK_NO_ASLR}")
            gtest_discover_tests(${name}_threads TEST_PREFIX "threads.")
        endif()
    endfunction()
endif()
