# The drivara program: start-up to a shown main window, resident memory, and the longest stall of
# the user-interface thread while the drive is polled, while a slow drive times out and while a
# silent drive's link is closed.
drivara_add_bench(drivara_gui_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gui/GuiBench.cpp ${CMAKE_CURRENT_SOURCE_DIR}/gui/GuiBenchSupport.h
    LIBS drivara_gui drivara_simcore
    DEPENDS drivara_transport_serial drivara_dictionary_data drivara_sys_files
            drivara_translations)
