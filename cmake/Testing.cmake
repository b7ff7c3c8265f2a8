find_package(GTest REQUIRED)

# rf_add_test(<name> SOURCES <files...> LIBS <libs...>)
# One GoogleTest executable, registered with CTest as one test.
function(rf_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "RF_SOURCE_DIR=${PROJECT_SOURCE_DIR};RF_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
