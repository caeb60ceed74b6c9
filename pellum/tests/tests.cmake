# Tests of the core library, one program per class family.
project_add_test(NAME pellum_object_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/object_test.cpp
  LIBS pellum LABELS unit thread)
project_add_test(NAME pellum_string_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/string_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_array_sort_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/array_sort_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_inifile_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/inifile_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_registry_file_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/registry_file_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_notify_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/notify_test.cpp
  LIBS pellum)
project_add_test(NAME pellum_thread_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/thread_test.cpp
  LIBS pellum LABELS unit thread TIMEOUT 120)
