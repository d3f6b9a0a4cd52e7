# tar_gz(STAGE NAME EPOCH OUTPUT): makes OUTPUT, a gzip-compressed tarball
# of the folder NAME in STAGE, the same bytes whoever makes it, where and
# when: entries in name order, owned by root, every file's time EPOCH, modes
# that do not depend on the builder's umask, no name or time in the gzip
# header.
function(tar_gz stage name epoch output)
    find_program(TAR tar REQUIRED)
    find_program(GZIP gzip REQUIRED)
    execute_process(
        COMMAND ${TAR} --sort=name --owner=0 --group=0 --numeric-owner --mtime=@${epoch}
                --mode=u=rwX,go=rX --format=gnu -C ${stage} -cf ${output}.tar ${name}
        COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${GZIP} -9n ${output}.tar COMMAND_ERROR_IS_FATAL ANY)
    file(RENAME ${output}.tar.gz ${output})
endfunction()
