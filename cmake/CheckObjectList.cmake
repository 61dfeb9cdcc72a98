# Fails when the object list made from the dictionary (MADE) differs from the shipped one
# (SHIPPED); the made copy is removed then, so the next build checks again.
file(READ ${MADE} made)
file(READ ${SHIPPED} shipped)
if(NOT made STREQUAL shipped)
    file(REMOVE ${MADE})
    message(FATAL_ERROR "${SHIPPED} does not match the dictionary source; regenerate it with\n"
                        "  build/tools/mkdict --object-list data/velmor.tsv sys/default.cdo")
endif()
