# The drivara program: start-up to a shown main window, resident memory, and the longest stall of
# the user-interface thread while the drive is polled and while a slow drive times out.
add_executable(drivara_gui_bench ${CMAKE_CURRENT_SOURCE_DIR}/gui/GuiBench.cpp)
set_target_properties(drivara_gui_bench PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
target_link_libraries(drivara_gui_bench PRIVATE drivara_gui drivara_simcore)
target_compile_definitions(drivara_gui_bench PRIVATE DRIVARA_DIST_DIR="${DRIVARA_DIST_DIR}")
drivara_warnings(drivara_gui_bench)
add_dependencies(drivara_gui_bench drivara_transport_serial drivara_dictionary_data
    drivara_sys_files drivara_translations)
set_property(GLOBAL APPEND PROPERTY DRIVARA_BENCHES drivara_gui_bench)
