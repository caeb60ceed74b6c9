platform_add_plugin(NAME media_test_plugin TEST_ONLY
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_filters.cpp LIBS platform_media)
project_add_test(NAME platform_media_records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/records_test.cpp
  LIBS platform_media)
# The readers are compiled into the fuzzer itself so that their coverage
# guides it.
project_add_fuzzer(NAME media_type_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/fuzz/media_type_fuzz.cpp
          ${PROJECT_SOURCE_DIR}/platform/media/records.cpp
          ${PROJECT_SOURCE_DIR}/platform/media/media_type.cpp
  LIBS platform_com)
project_add_test(NAME platform_media_framework_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/framework_test.cpp
  LIBS platform_media
  LABELS unit thread)
