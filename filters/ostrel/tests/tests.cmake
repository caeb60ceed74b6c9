# The pattern source: a test plug-in module used by the multicast tests.
platform_add_plugin(NAME multicast_test_plugin TEST_ONLY
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pattern_source.cpp
  LIBS mediaclass platform_media)

project_add_test(NAME ostrel_filter_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ostrel_filter_test.cpp
  LIBS platform_media mediaclass
  LABELS thread NET
  TIMEOUT 120)
add_dependencies(ostrel_filter_test ostrel multicast_test_plugin)
