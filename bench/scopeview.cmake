# The oscilloscope plot: a full redraw of four channels of the largest record (8 KiB) and a
# cursor move over the cached picture, offscreen.
drivara_add_bench(drivara_plot_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scopeview/PlotBench.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/QtBenchMain.cpp
    LIBS drivara_scopeview)
target_compile_definitions(drivara_plot_bench PRIVATE DRIVARA_BENCH_WIDGETS)
