project_add_test(NAME platform_win_services_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/services_test.cpp
  LIBS platform_win)
project_add_test(NAME platform_win_display_modes_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/display_modes_test.cpp
  LIBS platform_win X11 TIMEOUT 120)
