# The drivara program over an accelerated day: resident memory with ten pages open once warm and
# after the exchanges of a day (or as many as DRIVARA_SOAK_SECONDS allows), and the growth per
# 100,000 exchanges.
add_executable(drivara_soak_bench ${CMAKE_CURRENT_SOURCE_DIR}/soak/SoakBench.cpp)
set_target_properties(drivara_soak_bench PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
target_link_libraries(drivara_soak_bench PRIVATE drivara_gui drivara_simcore)
target_compile_definitions(drivara_soak_bench PRIVATE DRIVARA_DIST_DIR="${DRIVARA_DIST_DIR}")
drivara_warnings(drivara_soak_bench)
add_dependencies(drivara_soak_bench drivara_transport_serial drivara_dictionary_data
    drivara_sys_files drivara_translations)
set_property(GLOBAL APPEND PROPERTY DRIVARA_BENCHES drivara_soak_bench)
