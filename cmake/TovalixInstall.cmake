include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS tovalix EXPORT tovalixTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/tovalix DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT tovalixTargets NAMESPACE tovalix::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tovalix)
configure_package_config_file(cmake/tovalixConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/tovalixConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tovalix)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tovalixConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tovalixConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/tovalixConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tovalix)
# pkg-config: what a host that links the static library statically needs after -ltovalix (a C
# host needs the C++ runtime too); a shared build's host needs TOVALIX_SHARED on Windows.
if(WIN32)
  set(TOVALIX_PC_LIBS_PRIVATE
      "-lwinhttp -lbcrypt -ladvapi32 -lshlwapi -lshell32 -lole32 -luuid -lstdc++ -pthread")
else()
  set(TOVALIX_PC_LIBS_PRIVATE "-lcurl -lcrypto -lpugixml -lstdc++ -lm -pthread")
  foreach(lib ${CMAKE_DL_LIBS})
    string(APPEND TOVALIX_PC_LIBS_PRIVATE " -l${lib}")
  endforeach()
endif()
set(TOVALIX_PC_CFLAGS "")
if(TOVALIX_BUILD_SHARED)
  set(TOVALIX_PC_CFLAGS " -DTOVALIX_SHARED")
endif()
configure_file(cmake/tovalix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tovalix.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tovalix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(TOVALIX_BUILD_TOOLS)
  install(TARGETS tovalix_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(TARGET tovalix_sim_cli)
    install(TARGETS tovalix_sim_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endif()
