# The dictionary browser with 10,000 objects: sorting by name, and the filter per keystroke in the
# core's list and through the table model with its view attached.
drivara_add_bench(drivara_browse_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/browse/BrowseBench.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/QtBenchMain.cpp
    LIBS drivara_gui)
target_compile_definitions(drivara_browse_bench PRIVATE DRIVARA_BENCH_WIDGETS)
