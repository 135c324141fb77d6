# parlotel_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [TIMEOUT <seconds>])
# One Qt Test executable per test file. Every test runs offscreen, with its own
# settings folder, and with a timeout so that an unanswered modal dialog or a lost
# wake-up fails the test instead of stalling the run. Sanitizer reports (of the
# test and of every program it starts) go to files in sanitizer-reports/, which
# scripts/test prints and counts as a failure.
function(parlotel_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(cfg "${CMAKE_BINARY_DIR}/test-home/${T_NAME}")
  set(reports "log_path=${CMAKE_BINARY_DIR}/sanitizer-reports/${T_NAME}")
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${cfg}/config;XDG_DATA_HOME=${cfg}/data;PARLOTEL_UNIT=$<TARGET_FILE:parlotel-unit>;PARLOTEL_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data;TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp ${reports};ASAN_OPTIONS=detect_leaks=1 abort_on_error=1 ${reports};UBSAN_OPTIONS=print_stacktrace=1 halt_on_error=1 ${reports};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
endfunction()
