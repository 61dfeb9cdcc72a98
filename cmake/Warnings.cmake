# Per-target warnings; every target of the project calls drivara_warnings().
function(drivara_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wpedantic)
    if(DRIVARA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
