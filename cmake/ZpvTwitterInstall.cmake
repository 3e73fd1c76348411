# cmake --install: the shared plug-in library, the headers a host compiles
# against, and a package configuration so that another host can say
# find_package(ZpvTwitter) and link ZpvTwitter::zpvtwitter.
include(CMakePackageConfigHelpers)

set(ZPV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZpvTwitter)
set(ZPV_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/zpvtwitter)

# The public headers: those that mark something exported, and every header
# of ours they include, found by following their #include lines.
function(zpv_public_headers out)
    set(src ${PROJECT_SOURCE_DIR}/src)
    file(GLOB_RECURSE candidates RELATIVE ${src} ${src}/*.h)
    set(pending)
    foreach(header IN LISTS candidates)
        file(STRINGS ${src}/${header} marks REGEX "ZPVTWITTER_EXPORT")
        if(marks)
            list(APPEND pending ${header})
        endif()
    endforeach()
    set(found)
    while(pending)
        list(POP_FRONT pending header)
        if(header IN_LIST found OR NOT EXISTS ${src}/${header})
            continue()
        endif()
        list(APPEND found ${header})
        file(STRINGS ${src}/${header} includes REGEX "^#include \"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
            list(APPEND pending ${included})
        endforeach()
    endwhile()
    list(SORT found)
    set(${out} ${found} PARENT_SCOPE)
endfunction()

zpv_public_headers(zpv_headers)
foreach(header IN LISTS zpv_headers)
    get_filename_component(folder ${header} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/src/${header} DESTINATION ${ZPV_INSTALL_INCLUDEDIR}/${folder}
        COMPONENT Development)
endforeach()

install(TARGETS zpvtwitter
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZpvTwitterConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ZpvTwitterConfig.cmake
    INSTALL_DESTINATION ${ZPV_INSTALL_CMAKEDIR}
    PATH_VARS ZPV_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZpvTwitterConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZpvTwitterConfig.cmake
    ${PROJECT_BINARY_DIR}/ZpvTwitterConfigVersion.cmake
    DESTINATION ${ZPV_INSTALL_CMAKEDIR} COMPONENT Development)
