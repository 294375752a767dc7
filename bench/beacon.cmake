# Telemetry library benchmarks: one block per area.

# Utilities: token encryption, body compression, property validation.
zelvo_add_bench(beacon_util_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/UtilBench.cpp
  LIBS zelvo_beacon)
