# One way to add a GoogleTest suite:
#   zarevo_add_test(<name> SOURCES ... [LIBRARIES ...] [ENVIRONMENT NAME=value] [LABELS label] [QT] [SERIAL])
# SERIAL: the suite runs alone (it plays through a real sound server).
# builds tests/<name> and registers every TEST with ctest.
# QT: the suite starts a QApplication. It links the shared Qt test support
# (one QApplication for the whole run, on the offscreen platform unless
# QT_QPA_PLATFORM says otherwise) and its label gets the prefix "qt-", so a
# sanitizer run can treat the suites that start Qt apart (ctest -L / -LE '^qt-').
# A suite given ENVIRONMENT QT_QPA_PLATFORM=... counts as QT as well.
include(GoogleTest)
find_package(GTest REQUIRED)

function(zarevo_add_test name)
  cmake_parse_arguments(ARG "QT;SERIAL" "" "SOURCES;LIBRARIES;ENVIRONMENT;LABELS" ${ARGN})
  if(ARG_ENVIRONMENT MATCHES "^QT_QPA_PLATFORM=")
    set(ARG_QT TRUE)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBRARIES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  if(ARG_QT)
    target_link_libraries(${name} PRIVATE zarevo_qt_test_support)
  endif()
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
  # Test discovery splits list values, so ENVIRONMENT takes a single NAME=value
  # and LABELS a single label; a suite that needs more variables sets them
  # itself before anything reads them.
  list(LENGTH ARG_ENVIRONMENT environment_count)
  list(LENGTH ARG_LABELS label_count)
  if(environment_count GREATER 1 OR label_count GREATER 1)
    message(FATAL_ERROR "zarevo_add_test(${name}): ENVIRONMENT takes one NAME=value, LABELS one label")
  endif()
  if(ARG_QT)
    if(NOT ARG_LABELS)
      set(ARG_LABELS gui)
    endif()
    set(ARG_LABELS "qt-${ARG_LABELS}")
  endif()
  # Suites that play through a real sound server run alone, so the other
  # suites' load cannot starve the server into an underrun.
  set(ARG_RUN_SERIAL ${ARG_SERIAL})
  # An empty property value would vanish from the list and shift the pairs
  # (ENVIRONMENT would swallow LABELS), so only given properties are passed.
  set(test_properties "")
  foreach(property ENVIRONMENT LABELS RUN_SERIAL)
    if(ARG_${property})
      list(APPEND test_properties ${property} "${ARG_${property}}")
    endif()
  endforeach()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
    PROPERTIES ${test_properties}
    DISCOVERY_TIMEOUT 60)
endfunction()
