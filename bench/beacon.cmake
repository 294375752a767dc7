# Telemetry library benchmarks: one block per area.

# Utilities: token encryption, body compression, property validation.
zelvo_add_bench(beacon_util_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/UtilBench.cpp
  LIBS zelvo_beacon)

# Log model: container bodies, archiving and unarchiving of one log.
zelvo_add_bench(beacon_model_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/ModelBench.cpp
  LIBS zelvo_beacon)

# Log persistence: saving with a connection per operation vs. a kept one, batch loads.
zelvo_add_bench(beacon_storage_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/StorageBench.cpp
  LIBS zelvo_beacon)
