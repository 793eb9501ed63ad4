# Strict warnings for the project's own targets; third-party code is not affected. They are errors
# only where VR_WERROR asks for it (the project's scripts and CI): a user's or a distribution's
# build must not fail because a newer compiler warns about something new.
option(VR_WERROR "Treat warnings as errors" OFF)

function(vr_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${VR_WERROR}>:/WX>)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                 -Wsign-conversion -Wnon-virtual-dtor
                                                 $<$<BOOL:${VR_WERROR}>:-Werror>)
    endif()
endfunction()
