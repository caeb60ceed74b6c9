project_add_test(NAME waitable_timer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/waitable_timer_test.cpp
  LIBS platform_win
  LABELS unit thread)
