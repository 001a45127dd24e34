# cmake -DBUILD_DIR=... -DPREFIX=... -DWITH_WINDOW=ON|OFF -DAPPSTREAM_ID=... -P InstallTest.cmake
# Installs the build into PREFIX, checks the files are where a desktop expects them, and runs
# the installed orvexsdr-cli with a fresh home: it must find the band plans and scenes of the
# installed tree, not those of the source tree.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${err}")
endif()
file(REAL_PATH "${PREFIX}" PREFIX)

set(expected bin/orvexsdr-cli share/man/man1/orvexsdr-cli.1.gz
    share/orvexsdr/bandplans/Broadcast.bpl share/orvexsdr/scenes/calibration.scene
    share/doc/orvexsdr/copyright share/doc/orvexsdr/changelog.gz)
if(WITH_WINDOW)
    list(APPEND expected bin/orvexsdr share/man/man1/orvexsdr.1.gz
         share/applications/orvexsdr.desktop share/icons/hicolor/scalable/apps/orvexsdr.svg
         share/metainfo/${APPSTREAM_ID}.metainfo.xml)
endif()
foreach(f IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${f}")
        message(FATAL_ERROR "not installed: ${PREFIX}/${f}")
    endif()
endforeach()

function(run_installed out_var)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env "HOME=${PREFIX}/home"
                            --unset=XDG_DATA_HOME --unset=ORVEXSDR_BANDPLANS
                            "${PREFIX}/bin/orvexsdr-cli" ${ARGN}
                    WORKING_DIRECTORY "${PREFIX}/home" RESULT_VARIABLE rc
                    OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "orvexsdr-cli ${ARGN} failed (${rc}): ${out}${err}")
    endif()
    set(${out_var} "${out}${err}" PARENT_SCOPE)
endfunction()

file(MAKE_DIRECTORY "${PREFIX}/home")
run_installed(where bandplan where)
string(FIND "${where}" "copies the shipped plans from ${PREFIX}/share/orvexsdr/bandplans" at)
if(at EQUAL -1)
    message(FATAL_ERROR "the installed program does not take its plans from ${PREFIX}:\n${where}")
endif()
run_installed(simif sim-if --scene calibration --freq 10 --seconds 0.1 --out if.wav)
string(FIND "${simif}" "(${PREFIX}/share/orvexsdr/scenes/calibration.scene)" at)
if(at EQUAL -1)
    message(FATAL_ERROR "the installed program does not find its scenes in ${PREFIX}:\n${simif}")
endif()
message(STATUS "installed tree in ${PREFIX} finds its data")
