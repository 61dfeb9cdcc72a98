# A read pass of the largest parameter page against the virtual drive at the pace of a 115200
# baud line, beside the wire limit for that many exchanges.
drivara_add_bench(drivara_pages_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pages/PagesBench.cpp ${CMAKE_CURRENT_SOURCE_DIR}/QtBenchMain.cpp
    LIBS drivara_core drivara_simcore
    DEPENDS drivara_transport_serial drivara_dictionary_data drivara_sys_files)
