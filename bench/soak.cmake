# The drivara program over an accelerated day: resident memory with ten pages open once warm and
# after the exchanges of a day (or as many as DRIVARA_SOAK_SECONDS allows), and the growth per
# 100,000 exchanges.
drivara_add_bench(drivara_soak_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/soak/SoakBench.cpp
    LIBS drivara_gui drivara_simcore drivara_gui_test_support
    DEPENDS drivara_transport_serial drivara_dictionary_data drivara_sys_files
            drivara_translations)
target_include_directories(drivara_soak_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# The oscilloscope in continuous capture over an accelerated minute: resident memory once warm
# and at the end, and the growth per 1,000 captures.
drivara_add_bench(drivara_scope_soak_bench
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/soak/ScopeSoakBench.cpp
    LIBS drivara_gui drivara_simcore drivara_gui_test_support
    DEPENDS drivara_transport_serial drivara_dictionary_data drivara_sys_files
            drivara_translations)
target_include_directories(drivara_scope_soak_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
