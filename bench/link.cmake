# Exchanges per second of the control link over a pseudo-terminal against the virtual drive, and
# the polling list across page open/close cycles.
drivara_add_bench(drivara_link_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link/LinkBench.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/link/PageCycleBench.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/QtBenchMain.cpp
    LIBS drivara_core drivara_simcore drivara_dictionary
    DEPENDS drivara_transport_serial drivara_dictionary_data drivara_sys_files)
