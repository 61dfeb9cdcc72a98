# Numbers typed by a person, checked against the object's type in every unit kind.
drivara_add_fuzzer(typed_number_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/TypedNumberFuzz.cpp
    LIBS drivara_core)
