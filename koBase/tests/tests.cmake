set(_t ${CMAKE_CURRENT_LIST_DIR})
project_add_test(NAME kobase_containers_test SOURCES ${_t}/containers_test.cpp LIBS kobase LABELS unit)
project_add_test(NAME kobase_thread_test SOURCES ${_t}/thread_test.cpp LIBS kobase LABELS unit thread)
project_add_test(NAME kobase_frame_test SOURCES ${_t}/frame_test.cpp ${_t}/sample_record_test.cpp ${_t}/wire_helpers.cpp
  LIBS kobase LABELS unit)
project_add_test(NAME kobase_socket_test SOURCES ${_t}/socket_test.cpp LIBS kobase LABELS thread NET)
project_add_test(NAME kobase_transport_test SOURCES ${_t}/transport_test.cpp ${_t}/wire_helpers.cpp
  LIBS kobase LABELS thread NET)
project_add_test(NAME kobase_impairment_test SOURCES ${_t}/impairment_test.cpp ${_t}/wire_helpers.cpp
  LIBS kobase LABELS thread STATIONS 2 NETEM "loss 5% duplicate 1% reorder 10% delay 5ms")
