# The switcher application: the running-application list.
zelvo_add_bench(app_bench
  SOURCES app/SortedAppsBench.cpp
  LIBS zelvo_app_core zelvo_platform_headless)
