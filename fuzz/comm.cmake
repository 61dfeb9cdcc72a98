# Reply decoding on arbitrary request commands and reply bytes, with the serial checksum path.
drivara_add_fuzzer(sdo_reply_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/SdoReplyFuzz.cpp
    LIBS drivara_comm)
