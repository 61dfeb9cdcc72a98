# The page views live: ten pages polled for ten seconds (the longest stall of the user-interface
# thread), and one page of 200 polled rows at 115200 baud (exchanges against the wire limit and
# the user-interface thread's CPU time).
drivara_add_bench(drivara_pageviews_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pageviews/PageViewsBench.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/QtBenchMain.cpp
    LIBS drivara_gui_test_support drivara_pageviews
    DEPENDS drivara_transport_serial drivara_dictionary_data drivara_sys_files)
target_compile_definitions(drivara_pageviews_bench PRIVATE DRIVARA_BENCH_WIDGETS)
