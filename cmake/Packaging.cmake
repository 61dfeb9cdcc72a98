# Installation (the Debian package in debian/ builds on it). Programs go to bin/; the files the
# programs read (sys/ with the page files and default settings, data/ with the dictionary and the
# English texts) to share/drivara/, the transport libraries to lib/<multiarch>/drivara/, where an
# installed program finds them (src/core/base/BaseFolder.cpp). An installation is never written
# to: the operator's sys.ini and user/ live under the XDG folders.
include(GNUInstallDirs)
set(DRIVARA_INSTALL_BASE ${CMAKE_INSTALL_DATADIR}/drivara)

install(TARGETS drivara drivactl drivara-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sys/ DESTINATION ${DRIVARA_INSTALL_BASE}/sys
        FILES_MATCHING PATTERN "*.ini" PATTERN "*.cdo")
# The files of data/ by name, as the build made them: the dictionary with its check, the virtual
# drive's defaults, the English texts.
install(FILES ${DRIVARA_DATA_DIR}/velmor.dat ${DRIVARA_DATA_DIR}/velmor.dat.sum
              ${DRIVARA_DATA_DIR}/velmor-defaults.tsv ${DRIVARA_DATA_DIR}/EN.qm
        DESTINATION ${DRIVARA_INSTALL_BASE}/data)
# The transports by target: shared libraries get their ordinary modes (0644).
install(TARGETS drivara_transport_serial drivara_transport_can
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/drivara)

set(resources ${PROJECT_SOURCE_DIR}/src/gui/resources)
install(FILES ${resources}/drivara.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${resources}/drivara.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${resources}/org.drivara.Drivara.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/src/cli/drivactl.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME drivactl)
# The manual that Help > User Manual and F1 open.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/drivara)

# Manual pages from the programs' own --help and --version, when help2man is there (the package
# requires it).
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(man_pages)
    foreach(program_and_name
            "drivara|commissioning tool for digital servo drives"
            "drivactl|command-line client of the Drivara servo drive tool"
            "drivara-sim|virtual servo drive for trying Drivara without hardware")
        string(REPLACE "|" ";" parts "${program_and_name}")
        list(GET parts 0 program)
        list(GET parts 1 name)
        set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
        add_custom_command(OUTPUT ${page}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                    ${HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${name}
                    --source=Drivara --output=${page} $<TARGET_FILE:${program}>
            DEPENDS ${program}
            COMMENT "Writing the manual page of ${program}")
        list(APPEND man_pages ${page})
    endforeach()
    add_custom_target(drivara_man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
