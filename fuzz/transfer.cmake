# The transfer files on any bytes: object lists, configurations, device configuration files.
foreach(reader object_list:1 configuration:2 dcf:3)
    string(REPLACE ":" ";" reader ${reader})
    list(GET reader 0 name)
    list(GET reader 1 number)
    drivara_add_fuzzer(${name}_fuzz
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/TransferFilesFuzz.cpp
        LIBS drivara_transfer)
    target_compile_definitions(${name}_fuzz PRIVATE TRANSFER_READER=${number})
endforeach()
