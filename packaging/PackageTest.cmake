# cmake -DBUILD_DIR=... -DWORK=... -DVERSION=... -DAPPSTREAM_ID=... -DFIRST_START=first-start.sh
#       -DSTEP=build|contents|lintian|appstream -P PackageTest.cmake
# The Debian package of a build, made and checked without installing anything on the system.
#   build      cpack makes the package into WORK/out
#   contents   its files are those `cmake --install` puts under a prefix; its control fields
#              hold the computed Depends and the Recommends; the programs of the unpacked tree
#              run with a fresh home, and the window's first start seeds the band plans into it
#   lintian    lintian finds no error (warnings are printed)
#   appstream  appstreamcli validates the unpacked tree's metadata, desktop entry and icon
cmake_minimum_required(VERSION 3.22)

function(run out_var)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        string(JOIN " " command ${ARGN})
        message(FATAL_ERROR "${command} failed (${rc}):\n${out}${err}")
    endif()
    set(${out_var} "${out}${err}" PARENT_SCOPE)
endfunction()

function(require_program var name)
    find_program(${var} ${name})
    if(NOT ${var})
        message(FATAL_ERROR "${name} is missing: tools/install-deps installs it")
    endif()
endfunction()

function(unpack deb folder)
    file(REMOVE_RECURSE "${folder}")
    run(out dpkg-deb -x "${deb}" "${folder}")
endfunction()

if(STEP STREQUAL "build")
    file(REMOVE_RECURSE "${WORK}")
    file(MAKE_DIRECTORY "${WORK}/out")
    require_program(cpack_exe cpack)
    run(out "${cpack_exe}" --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK}/out")
    file(GLOB debs "${WORK}/out/*.deb")
    run(arch dpkg --print-architecture)
    string(STRIP "${arch}" arch)
    set(expected "${WORK}/out/orvexsdr_${VERSION}_${arch}.deb")
    if(NOT debs STREQUAL expected)
        message(FATAL_ERROR "cpack made '${debs}', not ${expected}:\n${out}")
    endif()
    file(SIZE "${expected}" size)
    message(STATUS "made ${expected} (${size} bytes)")
    return()
endif()

file(GLOB deb "${WORK}/out/orvexsdr_${VERSION}_*.deb")
if(NOT deb)
    message(FATAL_ERROR "no package in ${WORK}/out: packaging.deb_build makes it")
endif()

if(STEP STREQUAL "contents")
    # The same files as the install rules put under a prefix, nothing more, nothing less.
    set(root "${WORK}/root")
    unpack("${deb}" "${root}")
    file(REMOVE_RECURSE "${WORK}/stage")
    run(out "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${WORK}/stage/usr")
    file(GLOB_RECURSE packaged LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
    file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${WORK}/stage" "${WORK}/stage/*")
    set(only_packaged ${packaged})
    list(REMOVE_ITEM only_packaged ${installed})
    set(only_installed ${installed})
    list(REMOVE_ITEM only_installed ${packaged})
    if(only_packaged OR only_installed)
        message(FATAL_ERROR "the package and the install rules differ:\n"
                            "only in the package: ${only_packaged}\n"
                            "only installed: ${only_installed}")
    endif()
    foreach(f usr/bin/orvexsdr usr/bin/orvexsdr-cli usr/share/man/man1/orvexsdr.1.gz
              usr/share/man/man1/orvexsdr-cli.1.gz usr/share/applications/orvexsdr.desktop
              usr/share/icons/hicolor/scalable/apps/orvexsdr.svg
              usr/share/metainfo/${APPSTREAM_ID}.metainfo.xml usr/share/doc/orvexsdr/copyright
              usr/share/doc/orvexsdr/changelog.gz usr/share/orvexsdr/bandplans/Broadcast.bpl
              usr/share/orvexsdr/scenes/calibration.scene)
        if(NOT f IN_LIST packaged)
            message(FATAL_ERROR "the package lacks /${f}")
        endif()
    endforeach()

    # Control fields: Depends comes from dpkg-shlibdeps (versioned libraries the programs link),
    # Recommends and Section from the project.
    run(info dpkg-deb --info "${deb}")
    message(STATUS "${info}")
    foreach(field Version Section Maintainer Depends Recommends)
        run(${field} dpkg-deb --field "${deb}" ${field})
        string(STRIP "${${field}}" ${field})
    endforeach()
    if(NOT Version STREQUAL VERSION OR NOT Section STREQUAL "hamradio"
       OR NOT Maintainer MATCHES "^[^<>]+ <[^<>@]+@[^<>@]+>$")
        message(FATAL_ERROR "wrong control fields:\n${info}")
    endif()
    foreach(lib "libc6 \\(>= " "libqt6widgets6 \\(>= " "libfftw3-single3 \\(>= " "libvolk2")
        if(NOT Depends MATCHES "(^|, )${lib}")
            message(FATAL_ERROR "Depends lacks ${lib}: ${Depends}")
        endif()
    endforeach()
    if(NOT Recommends MATCHES "(^|, )libhamlib-utils(,|$)")
        message(FATAL_ERROR "Recommends lacks libhamlib-utils: ${Recommends}")
    endif()

    # The unpacked programs, with a fresh home, take their data from the unpacked tree. The
    # command-line receiver runs the simulated receiver; the window's first start (offscreen)
    # seeds the user's band plans from the shipped ones and shuts down cleanly.
    set(home "${WORK}/home")
    file(REMOVE_RECURSE "${home}")
    file(MAKE_DIRECTORY "${home}")
    set(env "${CMAKE_COMMAND}" -E env "HOME=${home}" --unset=XDG_DATA_HOME
            --unset=XDG_CONFIG_HOME --unset=XDG_STATE_HOME --unset=XDG_CACHE_HOME
            --unset=ORVEXSDR_BANDPLANS --unset=DISPLAY --unset=WAYLAND_DISPLAY
            --unset=QT_QPA_PLATFORM)
    foreach(program orvexsdr orvexsdr-cli)
        run(out ${env} "${root}/usr/bin/${program}" --version)
        if(NOT out STREQUAL "${program} ${VERSION}\n")
            message(FATAL_ERROR "${program} --version says '${out}', not ${VERSION}")
        endif()
    endforeach()
    run(where ${env} "${root}/usr/bin/orvexsdr-cli" bandplan where)
    string(FIND "${where}" "copies the shipped plans from ${root}/usr/share/orvexsdr/bandplans"
           at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the unpacked program does not take its plans from ${root}:\n${where}")
    endif()
    execute_process(COMMAND ${env} "${root}/usr/bin/orvexsdr-cli" listen --sim --seconds 1
                            --no-playback
                    WORKING_DIRECTORY "${home}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                    ERROR_VARIABLE out)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "capture Brisko receiver \\(simulated\\)")
        message(FATAL_ERROR "orvexsdr-cli listen --sim failed (${rc}):\n${out}")
    endif()
    message(STATUS "orvexsdr-cli listen --sim --seconds 1 --no-playback:\n${out}")

    execute_process(COMMAND ${env} QT_QPA_PLATFORM=offscreen sh "${FIRST_START}"
                            "${root}/usr/bin/orvexsdr"
                            "${home}/.local/state/OrvexSDR/OrvexSDR_Brisko.log"
                    WORKING_DIRECTORY "${home}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                    ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "the window's first start failed (${rc}):\n${out}")
    endif()
    file(GLOB shipped RELATIVE "${root}/usr/share/orvexsdr/bandplans"
         "${root}/usr/share/orvexsdr/bandplans/*.bpl")
    file(GLOB seeded RELATIVE "${home}/.local/share/OrvexSDR/bandplans"
         "${home}/.local/share/OrvexSDR/bandplans/*.bpl")
    list(SORT shipped)
    list(SORT seeded)
    if(NOT shipped OR NOT seeded STREQUAL shipped)
        message(FATAL_ERROR "the first start seeded '${seeded}' into "
                            "${home}/.local/share/OrvexSDR/bandplans, not '${shipped}'")
    endif()
    message(STATUS "the unpacked package runs and its first start seeds ${shipped}")
elseif(STEP STREQUAL "lintian")
    require_program(lintian lintian)
    # Errors fail; warnings and the rest are shown (the closing note justifies each warning).
    execute_process(COMMAND "${lintian}" --fail-on error --display-info --tag-display-limit 0
                            "${deb}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    message(STATUS "lintian ${deb}:\n${out}${err}")
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "lintian failed (${rc})")
    endif()
elseif(STEP STREQUAL "appstream")
    require_program(appstreamcli appstreamcli)
    set(root "${WORK}/appstream-root")
    unpack("${deb}" "${root}")
    # The metadata alone, strictly (warnings fail), then with the desktop entry and icon it
    # names.
    run(out "${appstreamcli}" validate --no-net --explain
        "${root}/usr/share/metainfo/${APPSTREAM_ID}.metainfo.xml")
    message(STATUS "${out}")
    run(out "${appstreamcli}" validate-tree --no-net --explain "${root}")
    message(STATUS "${out}")
else()
    message(FATAL_ERROR "unknown STEP '${STEP}'")
endif()
