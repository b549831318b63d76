# vantry_library(NAME SOURCES... [LIBS ...]) : one static library per subsystem or stand-in.
function(vantry_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

# vantry_test(NAME SOURCES... LIBS ...) : a GoogleTest executable registered with CTest.
function(vantry_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${name} PROPERTIES ENVIRONMENT "TZ=UTC" DISCOVERY_TIMEOUT 60)
endfunction()
