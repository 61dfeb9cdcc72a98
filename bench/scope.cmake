# The oscilloscope's record upload at the pace of a 115200 baud line, against the wire time.
drivara_add_bench(drivara_scope_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scope/ScopeUploadBench.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/QtBenchMain.cpp
    LIBS drivara_core drivara_simcore
    DEPENDS drivara_transport_serial drivara_dictionary_data drivara_sys_files)
