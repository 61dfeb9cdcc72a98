# A configuration export of every dictionary object against the virtual drive, paced at 115200
# baud and unpaced, as a share of the wire limit.
drivara_add_bench(drivara_transfer_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/transfer/ExportBench.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/QtBenchMain.cpp
    LIBS drivara_core drivara_simcore drivara_dictionary
    DEPENDS drivara_transport_serial drivara_dictionary_data)
