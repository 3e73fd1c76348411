# Installs the build into a scratch prefix, then configures, builds and runs
# a small host that finds the library with find_package(ZpvTwitter).
# -DBUILD_DIR -DCONSUMER_DIR -DWORK_DIR -DGENERATOR
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}")
    endif()
    set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed
        lib/libzpvtwitter.so
        include/zpvtwitter/controller/twittercoreobject.h
        include/zpvtwitter/zpvtwitter_export.h
        lib/cmake/ZpvTwitter/ZpvTwitterConfig.cmake
        bin/zpv-gallery
        bin/zpv-twitterd)
    if(NOT EXISTS ${prefix}/${installed})
        message(FATAL_ERROR "not installed: ${installed}")
    endif()
endforeach()
file(GLOB metadata ${prefix}/bin/MetaData/*.xml)
list(LENGTH metadata count)
if(NOT count EQUAL 3)
    message(FATAL_ERROR "expected three applet records in bin/MetaData, found ${count}")
endif()
# Every header of ours an installed header includes is installed too.
file(GLOB_RECURSE headers ${prefix}/include/zpvtwitter/*.h)
foreach(header IN LISTS headers)
    file(STRINGS ${header} includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
        if(NOT EXISTS ${prefix}/include/zpvtwitter/${included})
            message(FATAL_ERROR "${header} includes ${included}, which is not installed")
        endif()
    endforeach()
endforeach()
# Internal headers stay out.
if(EXISTS ${prefix}/include/zpvtwitter/badges/badger.h)
    message(FATAL_ERROR "an internal header was installed")
endif()

run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
set(ENV{QT_QPA_PLATFORM} offscreen)
run(${WORK_DIR}/consumer/consumer)
if(NOT last_output MATCHES "OK")
    message(FATAL_ERROR "the consumer said: ${last_output}")
endif()
# The installed gallery finds its library through its run path. Neither its
# help nor a share without a window needs a display.
unset(ENV{QT_QPA_PLATFORM})
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
run(${prefix}/bin/zpv-gallery --help)
execute_process(COMMAND ${prefix}/bin/zpv-gallery --share ${WORK_DIR}/none.mp4
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 1 OR NOT out MATCHES "share failed: no such file")
    message(FATAL_ERROR "a share of a missing clip (${result}): ${out}")
endif()
