project_add_test(NAME platform_win_kernel_objects_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/kernel_objects_test.cpp
  LIBS platform_win LABELS unit thread TIMEOUT 120)
