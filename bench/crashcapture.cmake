# Crash capture: time from a fatal signal to the closed report file, and the
# report's size, with 1, 10 and 50 threads (one child process per crash).
zelvo_add_bench(crashcapture_crash_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/crashcapture/CrashBench.cpp
  LIBS zelvo_crashcapture)
