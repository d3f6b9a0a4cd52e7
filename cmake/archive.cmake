# Installs the build in BUILD (stripped) into the folder NAME of an empty
# STAGE, and makes OUTPUT, a FORMAT (tar.gz or zip) archive of that folder,
# the same bytes whoever makes it, where and when: entries in name order,
# owned by root, every file's time EPOCH (or SOURCE_DATE_EPOCH from the
# environment, which the strip is given too), modes that do not depend on
# the builder's umask, no name or time in the gzip header, zip times in UTC.
# Usage: cmake -D BUILD=... -D STAGE=... -D NAME=... -D FORMAT=... -D EPOCH=...
#              -D OUTPUT=... -P archive.cmake
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(EPOCH $ENV{SOURCE_DATE_EPOCH})
endif()
file(REMOVE_RECURSE ${STAGE})
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${EPOCH} ${CMAKE_COMMAND}
                        --install ${BUILD} --prefix ${STAGE}/${NAME} --strip
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
if(FORMAT STREQUAL "tar.gz")
    include(${CMAKE_CURRENT_LIST_DIR}/tar_gz.cmake)
    tar_gz(${STAGE} ${NAME} ${EPOCH} ${OUTPUT})
elseif(FORMAT STREQUAL "zip")
    find_program(ZIP zip REQUIRED)
    find_program(TOUCH touch REQUIRED)
    file(GLOB_RECURSE files RELATIVE ${STAGE} ${STAGE}/${NAME}/*)
    list(SORT files)
    foreach(file ${files})
        execute_process(COMMAND ${TOUCH} -h -d @${EPOCH} ${STAGE}/${file} COMMAND_ERROR_IS_FATAL ANY)
        execute_process(COMMAND chmod u=rwX,go=rX ${STAGE}/${file} COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    # -X: no user or group of the builder; -D: no entries for folders.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP} -X -D -9 -q ${OUTPUT} ${files}
                    WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
else()
    message(FATAL_ERROR "no archive format ${FORMAT}")
endif()
