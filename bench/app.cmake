# The switcher application: the running-application list.
zelvo_add_bench(app_bench
  SOURCES app/SortedAppsBench.cpp
  LIBS zelvo_app_core zelvo_platform_headless)

# `zelvo --show`: exec to the running instance having the request.
if(TARGET zelvo)
  zelvo_add_bench(app_show_bench
    SOURCES app/ShowHandOverBench.cpp
    LIBS zelvo_app_instance)
  target_compile_definitions(app_show_bench PRIVATE ZELVO_BINARY="$<TARGET_FILE:zelvo>")
  add_dependencies(app_show_bench zelvo)
endif()
