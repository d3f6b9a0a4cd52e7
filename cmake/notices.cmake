# Writes OUTPUT, the notices of the libraries that a program linked
# statically by the compiler CXX for PLATFORM (linux or windows) carries in
# it: which they are, the Debian packages and versions they were linked from
# (asked of dpkg for the very files the compiler links), their licences, where
# their sources are, and the copyright notices and licence texts that must go
# with the program, sfoltitesto VERSION for PROCESSOR.
# Usage: cmake -D CXX=... -D PLATFORM=... -D PROCESSOR=... -D VERSION=... -D OUTPUT=...
#              -P notices.cmake
cmake_minimum_required(VERSION 3.25)

# The Debian package that holds the file the compiler links for NAME, its
# version, and the source packages it was built from: its own, and the
# upstream one (matching UPSTREAM) it names as Built-Using, if another.
function(origin name upstream package_var sources_var)
    execute_process(COMMAND ${CXX} -print-file-name=${name} OUTPUT_VARIABLE path
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(REAL_PATH "${path}" real)
    set(${package_var} "" PARENT_SCOPE)
    set(${sources_var} "" PARENT_SCOPE)
    if(NOT DPKG_QUERY)
        return()
    endif()
    foreach(candidate "${real}" "${path}")
        execute_process(COMMAND ${DPKG_QUERY} -S "${candidate}" OUTPUT_VARIABLE owner
                        RESULT_VARIABLE failed ERROR_QUIET)
        if(NOT failed)
            break()
        endif()
    endforeach()
    if(failed OR NOT owner MATCHES "^([^ ,]+): ")
        return()
    endif()
    execute_process(
        COMMAND ${DPKG_QUERY} -W "-f=\${Package} \${Version}\n\${source:Package}=\${source:Version}\n\${Built-Using}" ${CMAKE_MATCH_1}
        OUTPUT_VARIABLE fields COMMAND_ERROR_IS_FATAL ANY)
    string(REPLACE "\n" ";" fields "${fields}")
    list(GET fields 0 package)
    list(GET fields 1 sources)
    list(LENGTH fields count)
    if(count GREATER 2)
        list(GET fields 2 built_using)
        if(built_using MATCHES "(^|, )(${upstream}) \\(= ([^)]+)\\)")
            set(built_from "${CMAKE_MATCH_2}=${CMAKE_MATCH_3}")
            if(NOT built_from IN_LIST sources)
                list(APPEND sources "${built_from}")
            endif()
        endif()
    endif()
    set(${package_var} "${package}" PARENT_SCOPE)
    set(${sources_var} "${sources}" PARENT_SCOPE)
endfunction()

# One library's notice: its name, licence, packages and sources.
function(library title licence upstream)
    set(packages "")
    set(sources "")
    foreach(name ${ARGN})
        origin(${name} "${upstream}" package source)
        list(APPEND packages ${package})
        list(APPEND sources ${source})
    endforeach()
    list(REMOVE_DUPLICATES packages)
    list(REMOVE_DUPLICATES sources)
    string(APPEND text "${title}\n  Licence: ${licence}\n")
    if(packages)
        list(JOIN packages "\n    " package_list)
        list(JOIN sources " " source_list)
        string(APPEND text "  Linked from these Debian packages:\n    ${package_list}\n"
               "  Their sources, from Debian:\n    apt-get source ${source_list}\n")
        foreach(source ${sources})
            string(REPLACE "=" "/" path "${source}")
            string(REPLACE "+" "%2B" path "${path}")
            string(APPEND text "    https://snapshot.debian.org/package/${path}/\n")
        endforeach()
    else()
        string(APPEND text "  Not linked from Debian packages: the versions are not known here.\n")
    endif()
    set(text "${text}\n" PARENT_SCOPE)
endfunction()

# A licence text or copyright notice, whole, or where to find it.
function(appendix title file elsewhere)
    string(APPEND text "========================================================================\n"
           "${title}\n"
           "========================================================================\n\n")
    if(EXISTS ${file})
        file(READ ${file} content)
        string(APPEND text "${content}\n")
    else()
        string(APPEND text "${elsewhere}\n\n")
    endif()
    set(text "${text}" PARENT_SCOPE)
endfunction()

find_program(DPKG_QUERY dpkg-query)
set(gcc_licence
    "GNU General Public License, version 3 or later, with the GCC
  Runtime Library Exception, version 3.1, which lets a program compiled by
  GCC carry these parts under a licence of its own
  (https://www.gnu.org/licenses/gcc-exception-3.1.html).")
if(PLATFORM STREQUAL "windows")
    set(system Windows)
else()
    set(system Linux)
endif()
set(text "sfoltitesto ${VERSION} for ${system}, ${PROCESSOR}: third-party notices

The program is linked statically: besides sfoltitesto's own code (MIT
licence, see LICENSE) it holds parts of the libraries below.

")
if(PLATFORM STREQUAL "linux")
    library("GNU C Library (glibc)"
            "GNU Lesser General Public License, version 2.1 or later, with
  some parts under BSD-style and other permissive licences, as its copyright
  notice below tells." "glibc" libc.a)
    # The program uses nothing of the C++ library; GCC's support library
    # gives it and the C library a few helpers and the unwinder.
    library("GCC's support library (libgcc)" "${gcc_licence}" "gcc-[0-9]+" libgcc.a libgcc_eh.a)
    string(APPEND text "Relinking: the LGPL lets you change the C library and link the program
with your version. The program's complete sources are in the source tarball
of this release (sfoltitesto-${VERSION}.tar.gz): `cmake --workflow --preset
tarball` in it compiles and links the program; configured with `cmake
--preset tarball -DCMAKE_EXE_LINKER_FLAGS=-LDIR` and built with `cmake
--build --preset tarball`, it is linked with the libc.a in DIR instead.

")
    appendix("The GNU C Library's copyright notice, as Debian ships it"
             /usr/share/doc/libc6/copyright
             "See the file LICENSES in glibc's sources.")
    appendix("GNU Lesser General Public License, version 2.1"
             /usr/share/common-licenses/LGPL-2.1
             "See https://www.gnu.org/licenses/old-licenses/lgpl-2.1.txt")
elseif(PLATFORM STREQUAL "windows")
    # As on Linux, nothing of the C++ library: the C runtime's start-up and
    # helpers, and GCC's few.
    library("mingw-w64's runtime"
            "Zope Public License 2.1, with parts in the public domain and parts
  under MIT (expat) and BSD licences, as the copyright notice below tells."
            "mingw-w64" libmingwex.a libmingw32.a)
    library("GCC's support library (libgcc)" "${gcc_licence}" "gcc-[0-9]+" libgcc.a libgcc_eh.a)
    appendix("mingw-w64's copyright notice, as Debian ships it"
             /usr/share/doc/mingw-w64-x86-64-dev/copyright
             "See the COPYING files in mingw-w64's sources.")
    # Text files on Windows have CR LF line ends.
    string(REPLACE "\n" "\r\n" text "${text}")
else()
    message(FATAL_ERROR "no notices for the platform ${PLATFORM}")
endif()
file(WRITE ${OUTPUT} "${text}")
