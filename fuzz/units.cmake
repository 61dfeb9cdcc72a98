# Unit texts and formulas as the dictionary may carry them.
drivara_add_fuzzer(unit_formula_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/UnitFormulaFuzz.cpp
    LIBS drivara_core)
