# GoogleTest built from Debian's sources for the target, and one helper that
# turns a folder of tests into one executable and one ctest entry (a Wine start
# costs seconds, so a suite per subsystem, not a test per case).
set(VLM_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${VLM_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(VLM_TEST_DIR ${CMAKE_BINARY_DIR}/tests)

# vlm_test_suite(<name> SOURCES ... LIBS ...): the executable <name>.exe beside
# copies of the two resource libraries, run by ctest under Wine.
function(vlm_test_suite name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gmock gtest_main vlm_win32)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VLM_TEST_DIR})
  add_dependencies(${name} vlm_test_resources)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

# The tests load the resource libraries the way the program does: from their own folder.
add_custom_target(vlm_test_resources ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VLM_TEST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:VLMLang> $<TARGET_FILE:VLMMedia> ${VLM_TEST_DIR}
  DEPENDS VLMLang VLMMedia)
