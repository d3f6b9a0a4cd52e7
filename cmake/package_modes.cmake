# Run by CPack twice, so that the Debian package is the same whatever the
# builder's umask. Before it packs the staged files (CPACK_PRE_BUILD_SCRIPTS):
# CPack makes some of their folders itself, with the umask's modes, and the
# package takes its modes from them, so every folder and program is made
# rwxr-xr-x and every other file rw-r--r--. After (CPACK_POST_BUILD_SCRIPTS):
# the ar archive that wraps the package's parts records the modes of
# CPack's temporary files, so each member's mode is written over with
# rw-r--r--, as dpkg-deb writes it.
if(NOT DEFINED CPACK_PACKAGE_FILES)
    find_program(CHMOD chmod REQUIRED)
    execute_process(COMMAND ${CHMOD} -R u=rwX,go=rX ${CPACK_TEMPORARY_DIRECTORY}
                    COMMAND_ERROR_IS_FATAL ANY)
    return()
endif()
find_program(DD dd REQUIRED)
set(mode ${CPACK_TOPLEVEL_DIRECTORY}/ar-member-mode)
file(WRITE ${mode} "100644  ")
foreach(package ${CPACK_PACKAGE_FILES})
    file(SIZE ${package} size)
    # Each member: a header of 60 bytes (its mode at 40, its size at 48, a
    # back quote and line feed at 58), then its bytes, padded to an even count.
    set(header_at 8)
    while(header_at LESS size)
        file(READ ${package} header OFFSET ${header_at} LIMIT 60)
        string(SUBSTRING "${header}" 58 2 magic)
        if(NOT magic STREQUAL "`\n")
            message(FATAL_ERROR "${package}: no ar member header at byte ${header_at}")
        endif()
        string(SUBSTRING "${header}" 48 10 member_size)
        string(STRIP "${member_size}" member_size)
        math(EXPR mode_at "${header_at} + 40")
        execute_process(COMMAND ${DD} of=${package} bs=1 seek=${mode_at} conv=notrunc status=none
                        INPUT_FILE ${mode} COMMAND_ERROR_IS_FATAL ANY)
        math(EXPR header_at "${header_at} + 60 + ${member_size} + ${member_size} % 2")
    endwhile()
endforeach()
