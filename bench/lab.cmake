# What the lab benchmarks read of the kernel's counters around each run.
project_add_fuzzer(NAME lab_counters_fuzz
  SOURCES ${PROJECT_SOURCE_DIR}/fuzz/lab_counters_fuzz.cpp ${PROJECT_SOURCE_DIR}/bench/lab_station.cpp)
