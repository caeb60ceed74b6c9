find_package(JPEG REQUIRED)
project_add_test(NAME ingrel_core_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ingrel_core_test.cpp ${PROJECT_SOURCE_DIR}/koBase/tests/wire_helpers.cpp
  LIBS ingrel_core JPEG::JPEG
  LABELS unit thread)

project_add_test(NAME ingrel_filter_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ingrel_filter_test.cpp
  LIBS platform_media mediaclass
  LABELS thread NET
  TIMEOUT 120)
add_dependencies(ingrel_filter_test ingrel platform_filters)

# Two stations: sender graph in one, receiver graph in the other.
project_add_test(NAME multicast_end_to_end_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/end_to_end_test.cpp ${PROJECT_SOURCE_DIR}/koBase/tests/wire_helpers.cpp
  LIBS platform_media mediaclass kobase
  LABELS thread STATIONS 2
  TIMEOUT 180)
add_dependencies(multicast_end_to_end_test ingrel ostrel platform_filters multicast_test_plugin)

project_add_test(NAME multicast_bad_input_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bad_input_test.cpp
  LIBS platform_media mediaclass kobase
  LABELS thread STATIONS 2
  TIMEOUT 120)
add_dependencies(multicast_bad_input_test ingrel platform_filters)

project_add_test(NAME multicast_loss_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/loss_test.cpp
  LIBS platform_media mediaclass kobase
  LABELS thread STATIONS 2 NETEM "loss 5%"
  TIMEOUT 180)
add_dependencies(multicast_loss_test ingrel ostrel platform_filters multicast_test_plugin)

project_add_test(NAME ingrel_delivery_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ingrel_delivery_test.cpp
  LIBS ingrel_core
  LABELS unit)

project_add_test(NAME ingrel_output_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/output_test.cpp
  LIBS platform_media mediaclass kobase ingrel_core
  LABELS thread NET
  TIMEOUT 120)
add_dependencies(ingrel_output_test ingrel platform_filters)
