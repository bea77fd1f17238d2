# The "docs" target: the reference of every installed header, into build/docs/html. Offered only
# where doxygen is installed; any warning (an undocumented class, member or parameter) fails it.
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  message(STATUS "No docs target: doxygen not found")
  return()
endif()

set(QIREDS_DOCS_DIR ${PROJECT_BINARY_DIR}/docs)
set(QIREDS_DOCS_MAINPAGE ${PROJECT_SOURCE_DIR}/docs/REFERENCE.md)
set(QIREDS_DOCS_HEADERS ${QIREDS_PUBLIC_HEADERS} ${QIREDS_PLATFORM_HEADERS})
if(TARGET QIREdsSchemaSync)
  list(APPEND QIREDS_DOCS_HEADERS ${QIREDS_SCHEMA_SYNC_ROOT}/include/QIREdsSchemaSync.h)
endif()
list(JOIN QIREDS_DOCS_HEADERS " " QIREDS_DOCS_INPUT)
string(APPEND QIREDS_DOCS_INPUT " ${QIREDS_DOCS_MAINPAGE}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)

add_custom_target(docs
  COMMAND ${CMAKE_COMMAND} -E remove_directory ${QIREDS_DOCS_DIR}
  COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Reference documentation in ${QIREDS_DOCS_DIR}/html"
  VERBATIM)
