# tarn_add_test(name SOURCES ... [LIBS ...] [RESOURCES] [TIMEOUT seconds] [LABELS tier ...])
# One Windows test executable run by ctest under Wine (one add_test per executable:
# every Wine process costs a start-up, so cases are not discovered one by one).
# RESOURCES links the program's resources (dialog templates, manifest) into the test.
# LABELS names the test's tier, `unit` unless given:
#   unit    plain logic and local servers, no window
#   window  real windows made in-process
#   e2e     the real program started as a process of its own
#   slow    anything that takes more than a few seconds however fast the machine
# The fast tier (scripts/test.sh --fast) is every test labelled neither e2e nor slow.
# Every test links the test seams (tests/fixtures/test_seams.cpp): the loopback account
# service and a data folder of its own, so nothing a test runs ever looks up or reaches the
# program's real service host or touches the user's own files.
function(tarn_add_test name)
  cmake_parse_arguments(T "RESOURCES" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} $<TARGET_OBJECTS:tarn_test_seams>)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main tarn_flags tarn_config)
  if(T_RESOURCES)
    target_sources(${name} PRIVATE $<TARGET_OBJECTS:tarn_res>)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()
