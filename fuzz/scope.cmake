# The oscilloscope's capture files and records, as they come from a disk or a drive.
drivara_add_fuzzer(scope_txt_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ScopeFilesFuzz.cpp
    LIBS drivara_scope)
drivara_add_fuzzer(record_decoder_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/RecordDecoderFuzz.cpp
    LIBS drivara_scope)
