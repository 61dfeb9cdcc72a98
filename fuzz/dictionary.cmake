# The dictionary loader on arbitrary database bytes, and the INI reader and writer on any text.
drivara_add_fuzzer(dictionary_loader_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/DictionaryLoaderFuzz.cpp
    LIBS drivara_dictionary)
drivara_add_fuzzer(ini_document_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/IniDocumentFuzz.cpp
    LIBS drivara_base)
