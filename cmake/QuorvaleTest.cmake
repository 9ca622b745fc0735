# quorvale_add_test(NAME name SOURCES files... LIBS targets...)
# One GoogleTest executable per library, each test case registered with CTest.
# A parameterized case is named by its name generator, never by a dump of its
# parameter's bytes (NO_PRETTY_VALUES), so that `ctest -N` fits a terminal.
include(GoogleTest)

function(quorvale_add_test)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main
                                            Quorvale::options)
  target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${ARG_NAME}
    DISCOVERY_TIMEOUT 60
    NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
