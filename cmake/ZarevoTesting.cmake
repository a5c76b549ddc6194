# One way to add a GoogleTest suite: zarevo_add_test(<name> SOURCES ... LIBRARIES ...)
# builds tests/<component>_test and registers every TEST with ctest.
include(GoogleTest)
find_package(GTest REQUIRED)

function(zarevo_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;ENVIRONMENT;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBRARIES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  # Every suite may load the test plug-ins and the shipped ones: build them first.
  get_property(test_plugins GLOBAL PROPERTY ZAREVO_TEST_PLUGINS)
  if(test_plugins)
    add_dependencies(${name} ${test_plugins})
  endif()
  foreach(shipped Zarevo_original Zarevo_sample)
    if(TARGET ${shipped})
      add_dependencies(${name} ${shipped})
    endif()
  endforeach()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
    PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}" LABELS "${ARG_LABELS}"
    DISCOVERY_TIMEOUT 60)
endfunction()
