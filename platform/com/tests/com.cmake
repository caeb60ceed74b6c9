platform_add_plugin(NAME com_test_plugin TEST_ONLY SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_plugin.cpp)
project_add_test(NAME platform_com_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/com_test.cpp
  LIBS platform_com)
target_compile_definitions(platform_com_test PRIVATE
  COM_TEST_PLUGIN="$<TARGET_FILE:com_test_plugin>")
add_dependencies(platform_com_test com_test_plugin)
