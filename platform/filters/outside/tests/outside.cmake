# The test module is built as a plain module and never registered in the
# build's registry: the tests register it into a registry of their own.
add_library(outside_test_plugin MODULE ${CMAKE_CURRENT_LIST_DIR}/outside_test_plugin.cpp)
set_target_properties(outside_test_plugin PROPERTIES PREFIX "")
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(outside_test_plugin PRIVATE -fno-gnu-unique)
endif()
target_link_libraries(outside_test_plugin PRIVATE platform_media)

project_add_test(NAME outside_picture_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/picture_test.cpp
  LIBS outside_picture)

project_add_test(NAME outside_filters_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/outside_filters_test.cpp
  LIBS platform_media outside_picture pointer_record
  LABELS unit thread
  TIMEOUT 120)
add_dependencies(outside_filters_test outside_filters outside_test_plugin platform_filters platform_capture
  platform_codecs)
target_compile_definitions(outside_filters_test PRIVATE
  OUTSIDE_FILTERS_MODULE="$<TARGET_FILE:outside_filters>"
  OUTSIDE_TEST_MODULE="$<TARGET_FILE:outside_test_plugin>"
  PLATFORM_FILTERS_MODULE="$<TARGET_FILE:platform_filters>"
  PLATFORM_CAPTURE_MODULE="$<TARGET_FILE:platform_capture>"
  PLATFORM_CODECS_MODULE="$<TARGET_FILE:platform_codecs>")
