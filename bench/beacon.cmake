# Telemetry library benchmarks: one block per area.

# Utilities: token encryption, body compression, property validation.
zelvo_add_bench(beacon_util_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/UtilBench.cpp
  LIBS zelvo_beacon)

# Log model: container bodies, archiving and unarchiving of one log.
zelvo_add_bench(beacon_model_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/ModelBench.cpp
  LIBS zelvo_beacon_testing)

# Log persistence: saving with a connection per operation vs. a kept one, batch loads.
zelvo_add_bench(beacon_storage_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/StorageBench.cpp
  LIBS zelvo_beacon)

# HTTP: one 50-log batch through the Beacon ingestion to the local HTTPS test
# server and back.
zelvo_add_bench(beacon_http_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/HttpBench.cpp
  LIBS zelvo_beacon_testing zelvo_beacon_testserver zelvo_beacon zelvo_platform_headless)

# Channel: logs per second from enqueueItem to a committed row through a real
# channel unit and store on disk, and the caller's cost of enqueueItem.
zelvo_add_bench(beacon_channel_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/ChannelBench.cpp
  LIBS zelvo_beacon_testing zelvo_beacon)

# Analytics: trackEvent with 5 string properties, caller's cost and stored rows per second.
zelvo_add_bench(beacon_analytics_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/AnalyticsBench.cpp
  LIBS zelvo_beacon)

# Crash reporting: the crash log buffer's place/release per log, and a C++
# throw with and without the uncaught-exception hook.
zelvo_add_bench(beacon_crashes_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/CrashesBench.cpp
  LIBS zelvo_beacon_testing zelvo_platform_headless)

# Crash reports: reading and converting a report at the reader's limits.
if(TARGET zelvo_crashcapture_testsupport)
  zelvo_add_bench(beacon_crash_report_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/beacon/CrashReportBench.cpp
    LIBS zelvo_crashcapture_testsupport zelvo_beacon)
endif()
