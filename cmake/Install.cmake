# Install rules: headers flat, the library, a CMake package, a pkg-config file and the tool.
include(CMakePackageConfigHelpers)

set(QIREDS_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/QIREngSystemDbServerClient)
set(QIREDS_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/QIREdsUtil)

install(FILES ${QIREDS_PUBLIC_HEADERS} ${QIREDS_PLATFORM_HEADERS}
  DESTINATION ${QIREDS_INSTALL_INCLUDEDIR})

install(TARGETS QIREdsUtil EXPORT QIREdsUtilTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT QIREdsUtilTargets NAMESPACE QIREdsUtil::
  DESTINATION ${QIREDS_INSTALL_CMAKEDIR})

# Exported on its own, so the core package never asks for libpq or SQLite; its private links
# vanish from the export because it is a shared library.
if(TARGET QIREdsSchemaSync)
  install(FILES ${QIREDS_SCHEMA_SYNC_ROOT}/include/QIREdsSchemaSync.h
    DESTINATION ${QIREDS_INSTALL_INCLUDEDIR})
  install(TARGETS QIREdsSchemaSync EXPORT QIREdsSchemaSyncTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(EXPORT QIREdsSchemaSyncTargets NAMESPACE QIREdsUtil::
    DESTINATION ${QIREDS_INSTALL_CMAKEDIR})
endif()

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QIREdsUtilConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QIREdsUtilConfig.cmake
  INSTALL_DESTINATION ${QIREDS_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QIREdsUtilConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QIREdsUtilConfig.cmake
  ${PROJECT_BINARY_DIR}/QIREdsUtilConfigVersion.cmake
  DESTINATION ${QIREDS_INSTALL_CMAKEDIR})

# The .pc file finds its prefix from its own location, so a moved install tree still works.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "QIREdsUtil installs relocatably: give CMAKE_INSTALL_LIBDIR and "
    "CMAKE_INSTALL_INCLUDEDIR relative to the prefix")
endif()
file(RELATIVE_PATH QIREDS_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" QIREDS_PC_TO_PREFIX "${QIREDS_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/QIREdsUtil.pc.in ${PROJECT_BINARY_DIR}/QIREdsUtil.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/QIREdsUtil.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(TARGET QIREdsSchemaSync)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/QIREdsSchemaSync.pc.in
    ${PROJECT_BINARY_DIR}/QIREdsSchemaSync.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/QIREdsSchemaSync.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

if(TARGET qireds)
  # Relative rpath: the installed tool finds its library wherever the tree is unpacked.
  file(RELATIVE_PATH QIREDS_BIN_TO_LIB /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
  set_target_properties(qireds PROPERTIES INSTALL_RPATH "$ORIGIN/${QIREDS_BIN_TO_LIB}")
  install(TARGETS qireds RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The document type definition that generated dictionaries name, so that users can validate them.
install(FILES ${PROJECT_SOURCE_DIR}/tests/data/dictionary/Dictionary00.dtd
  DESTINATION ${CMAKE_INSTALL_DATADIR}/QIREdsUtil)
