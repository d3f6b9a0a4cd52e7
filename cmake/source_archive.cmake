# Makes OUTPUT, the source tarball of the last commit of the clone SOURCE:
# what git holds of it, in the folder NAME, the same bytes whoever makes it,
# where and when: entries in name order, owned by root, every file's time
# EPOCH (or SOURCE_DATE_EPOCH from the environment) rather than the commit's,
# the modes of a umask of 022 whatever the builder's and git's tar.umask,
# no name or time in the gzip header.
# Usage: cmake -D GIT=... -D SOURCE=... -D STAGE=... -D NAME=... -D EPOCH=...
#              -D OUTPUT=... -P source_archive.cmake
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(EPOCH $ENV{SOURCE_DATE_EPOCH})
endif()
include(${CMAKE_CURRENT_LIST_DIR}/tar_gz.cmake)
find_program(TAR tar REQUIRED)
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(REMOVE ${OUTPUT})
# git archive stamps every file with the commit's time and cannot be told
# another: its files are packed again.
execute_process(COMMAND ${GIT} -C ${SOURCE} archive --format=tar --prefix=${NAME}/
                        -o ${STAGE}/git.tar HEAD COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${TAR} -xf git.tar WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
tar_gz(${STAGE} ${NAME} ${EPOCH} ${OUTPUT})
file(REMOVE_RECURSE ${STAGE})
