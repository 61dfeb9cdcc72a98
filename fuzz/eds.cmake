# The device description reader (EDS and DCF files) on any text.
drivara_add_fuzzer(eds_reader_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/EdsReaderFuzz.cpp
    LIBS drivara_eds)
