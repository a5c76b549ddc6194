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
  # An empty property value would vanish from the list and shift the pairs
  # (ENVIRONMENT would swallow LABELS), so only given properties are passed.
  set(test_properties "")
  # Test discovery splits list values, so ENVIRONMENT takes a single NAME=value;
  # a suite that needs more sets them itself before anything reads them.
  list(LENGTH ARG_ENVIRONMENT environment_count)
  if(environment_count GREATER 1)
    message(FATAL_ERROR "zarevo_add_test(${name}): ENVIRONMENT takes one NAME=value")
  endif()
  if(ARG_ENVIRONMENT)
    list(APPEND test_properties ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  if(ARG_LABELS)
    list(APPEND test_properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
    PROPERTIES ${test_properties}
    DISCOVERY_TIMEOUT 60)
endfunction()
