project_add_test(NAME reconnecting_x_connection_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/reconnecting_x_connection_test.cpp
  LIBS platform_win X11::X11
  X11
  TIMEOUT 60)
