# The project file reader on any bytes, with what it restores saved and read back.
drivara_add_fuzzer(project_file_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProjectFileFuzz.cpp
    LIBS drivara_core)
