# Load throughput of the dictionary file and the cost of one lookup as the dictionary grows.
drivara_add_bench(drivara_dictionary_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/DictionaryBench.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/DatabaseRecord.cpp
    LIBS drivara_dictionary)
target_include_directories(drivara_dictionary_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
