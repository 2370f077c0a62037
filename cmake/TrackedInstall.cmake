# `make install` and `make uninstall`, run with cmake -P:
#
#   cmake -DMODE=install   -DBUILD_DIR=build -DPREFIX=/usr/local [-DRECORD_DIR=dir] -P TrackedInstall.cmake
#   cmake -DMODE=uninstall -DBUILD_DIR=build                     [-DRECORD_DIR=dir] -P TrackedInstall.cmake
#
# DESTDIR comes from the environment, as for cmake --install.
#
# Uninstalling must remove exactly what installing added: the files, and the
# folders that did not exist before (/usr/local/share/man/man1 may well exist
# empty, and must stay). So before the real install, a probe install into a
# scratch folder tells which files will come, and the folders above them that
# are missing now are noted. The record (installed_files.txt,
# installed_dirs.txt in RECORD_DIR, the build folder by default) gathers what
# every install added until the next uninstall. install_manifest.txt is not
# used for this: every cmake --install and cpack run rewrites it.
cmake_minimum_required(VERSION 3.25)

if(NOT BUILD_DIR)
    message(FATAL_ERROR "BUILD_DIR is not set")
endif()
get_filename_component(BUILD_DIR "${BUILD_DIR}" ABSOLUTE)
if(NOT RECORD_DIR)
    set(RECORD_DIR "${BUILD_DIR}")
endif()
get_filename_component(RECORD_DIR "${RECORD_DIR}" ABSOLUTE)
set(files_record "${RECORD_DIR}/installed_files.txt")
set(dirs_record "${RECORD_DIR}/installed_dirs.txt")

set(destdir "$ENV{DESTDIR}")
if(destdir)
    get_filename_component(destdir "${destdir}" ABSOLUTE)
endif()

function(read_list file out)
    set(entries)
    if(EXISTS "${file}")
        file(STRINGS "${file}" entries)
    endif()
    set(${out} "${entries}" PARENT_SCOPE)
endfunction()

function(write_list file)
    list(REMOVE_DUPLICATES ARGN)
    list(SORT ARGN)
    list(JOIN ARGN "\n" text)
    file(WRITE "${file}" "${text}\n")
endfunction()

function(run_install dest)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env "DESTDIR=${dest}" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
        RESULT_VARIABLE status
        OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "cmake --install failed:\n${output}")
    endif()
endfunction()

if(MODE STREQUAL "install")
    if(NOT PREFIX)
        message(FATAL_ERROR "PREFIX is not set")
    endif()
    # The probe: which files will be installed (the manifest lists them
    # without DESTDIR).
    set(probe "${BUILD_DIR}/install-probe")
    file(REMOVE_RECURSE "${probe}")
    run_install("${probe}")
    file(REMOVE_RECURSE "${probe}")
    file(STRINGS "${BUILD_DIR}/install_manifest.txt" paths)

    read_list("${dirs_record}" new_dirs)
    if(destdir AND NOT IS_DIRECTORY "${destdir}")
        list(APPEND new_dirs "${destdir}")
    endif()
    foreach(path IN LISTS paths)
        get_filename_component(dir "${path}" DIRECTORY)
        while(NOT dir STREQUAL "/" AND NOT dir STREQUAL "")
            if(NOT IS_DIRECTORY "${destdir}${dir}")
                list(APPEND new_dirs "${destdir}${dir}")
            endif()
            get_filename_component(dir "${dir}" DIRECTORY)
        endwhile()
    endforeach()

    run_install("${destdir}")
    read_list("${files_record}" files)
    foreach(path IN LISTS paths)
        list(APPEND files "${destdir}${path}")
        message(STATUS "Installed: ${destdir}${path}")
    endforeach()
    file(MAKE_DIRECTORY "${RECORD_DIR}")
    write_list("${files_record}" ${files})
    if(new_dirs)
        write_list("${dirs_record}" ${new_dirs})
    endif()
elseif(MODE STREQUAL "uninstall")
    if(NOT EXISTS "${files_record}")
        message(STATUS "Nothing to uninstall: ${files_record} does not exist")
        return()
    endif()
    read_list("${files_record}" files)
    foreach(path IN LISTS files)
        if(EXISTS "${path}" OR IS_SYMLINK "${path}")
            file(REMOVE "${path}")
            message(STATUS "Removed: ${path}")
        else()
            message(STATUS "Already gone: ${path}")
        endif()
    endforeach()
    # Deepest folders first; a folder that holds something else stays.
    read_list("${dirs_record}" dirs)
    list(SORT dirs ORDER DESCENDING)
    foreach(dir IN LISTS dirs)
        if(IS_DIRECTORY "${dir}")
            file(GLOB left LIST_DIRECTORIES true "${dir}/*" "${dir}/.*")
            if(left)
                message(STATUS "Kept (not empty): ${dir}")
            else()
                file(REMOVE_RECURSE "${dir}")
                message(STATUS "Removed: ${dir}/")
            endif()
        endif()
    endforeach()
    file(REMOVE "${files_record}" "${dirs_record}")
else()
    message(FATAL_ERROR "MODE must be install or uninstall")
endif()
