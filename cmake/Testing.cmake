# horavex_add_test(NAME name SOURCES ... LIBS ... LABELS ... [TIMEOUT s])
# One GoogleTest executable registered with CTest; every test carries a label
# (unit, loopback, interop) so a run can pick what the machine allows.
find_package(GTest REQUIRED)
include(GoogleTest)

# The tests check the Dutch source texts: a machine set to another language must not change them.
# (Two properties of one value each: a list would not survive gtest_discover_tests.)
set(HORAVEX_TEST_ENVIRONMENT ENVIRONMENT LC_ALL=C.UTF-8 ENVIRONMENT_MODIFICATION LANGUAGE=unset:)

function(horavex_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main horavex_options)
  gtest_discover_tests(${T_NAME}
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ${HORAVEX_TEST_ENVIRONMENT}
    DISCOVERY_TIMEOUT 30)
endfunction()
