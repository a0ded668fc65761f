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

    # qmk_native_test(name SOURCES ...): plain and sanitized executables of the same tests.
    function(qmk_native_test name)
        cmake_parse_arguments(T "" "" "SOURCES" ${ARGN})
        add_executable(${name} ${T_SOURCES})
        target_link_libraries(${name} PRIVATE qmk_text GTest::gtest_main)
        gtest_discover_tests(${name} TEST_PREFIX "native.")
        add_executable(${name}_sanitized ${T_SOURCES})
        target_compile_options(${name}_sanitized PRIVATE ${QMK_SANITIZE})
        target_link_options(${name}_sanitized PRIVATE ${QMK_SANITIZE})
        target_link_libraries(${name}_sanitized PRIVATE qmk_text_sanitized GTest::gtest_main)
        gtest_discover_tests(${name}_sanitized TEST_PREFIX "sanitized.")
    endfunction()
endif()
