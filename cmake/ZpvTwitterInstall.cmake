# cmake --install: the shared plug-in library, the headers a host compiles
# against, and a package configuration so that another host can say
# find_package(ZpvTwitter) and link ZpvTwitter::zpvtwitter.
include(CMakePackageConfigHelpers)

set(ZPV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZpvTwitter)
set(ZPV_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/zpvtwitter)

# The public headers: those that declare something exported, and the headers
# of ours they include. The exports test checks the library side of this.
set(zpv_headers
    zpvtwitter_export.h
    catalog/appinfo.h
    catalog/applaunchpath.h
    catalog/capturefolders.h
    catalog/capturestatus.h
    catalog/contenttypeaggregator.h
    catalog/contenttypeinfo.h
    controller/hostcontract.h
    controller/keyvaluerecord.h
    controller/snappcoreobject.h
    controller/twinfo.h
    controller/twittercoreobject.h
    controller/uploadstatus.h
    platform/launchpath.h
    platform/markerfiles.h
    platform/sharedhelpers.h
    twitter/itwitter_core.h
    twitter/signature.h
    twitter/twitter_core.h
    twitter/user.h
)
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
