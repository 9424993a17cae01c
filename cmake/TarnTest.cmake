# tarn_add_test(name SOURCES ... [LIBS ...] [RESOURCES] [TIMEOUT seconds])
# One Windows test executable run by ctest under Wine (one add_test per executable:
# every Wine process costs a start-up, so cases are not discovered one by one).
# RESOURCES links the program's resources (dialog templates, manifest) into the test.
# Every test links the loopback account-service endpoint, so nothing a test runs ever
# looks up or reaches the program's real service host.
function(tarn_add_test name)
  cmake_parse_arguments(T "RESOURCES" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} $<TARGET_OBJECTS:tarn_loopback_endpoint>)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main tarn_config)
  if(T_RESOURCES)
    target_sources(${name} PRIVATE $<TARGET_OBJECTS:tarn_res>)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()
