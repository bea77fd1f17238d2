# Installs the build tree into a staging prefix, moves the prefix (an install must not depend on
# where it was made), then builds and runs the consumer against it through the CMake package and
# through pkg-config.
# Inputs: BUILD_DIR, SOURCE_DIR, STAGE_DIR, CXX, FLAGS, CONFIG, TOOLS.
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} COMMAND_ECHO STDOUT COMMAND_ERROR_IS_FATAL ANY)
endfunction()

function(expect_files root)
  foreach(file ${ARGN})
    if(NOT EXISTS ${root}/${file})
      message(FATAL_ERROR "install lacks ${file}")
    endif()
  endforeach()
endfunction()

# A build without a type installs its exported targets for the empty configuration only, so
# the install must not name one.
set(config_args "")
if(CONFIG)
  set(config_args --config ${CONFIG})
endif()
set(installed ${STAGE_DIR}/installed)
set(prefix ${STAGE_DIR}/moved)
file(REMOVE_RECURSE ${STAGE_DIR})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${installed} ${config_args})
file(RENAME ${installed} ${prefix})

set(headers ${prefix}/include/QIREngSystemDbServerClient)
expect_files(${prefix}
  lib/libQIREdsUtil.so lib/libQIREdsUtil.so.1
  lib/pkgconfig/QIREdsUtil.pc
  lib/cmake/QIREdsUtil/QIREdsUtilConfig.cmake
  lib/cmake/QIREdsUtil/QIREdsUtilConfigVersion.cmake
  lib/cmake/QIREdsUtil/QIREdsUtilTargets.cmake
  include/QIREngSystemDbServerClient/QIRCodes.h)
if(EXISTS ${headers}/QIRFaultInjection.h)
  message(FATAL_ERROR "the test-only QIRFaultInjection.h was installed")
endif()
if(TOOLS)
  expect_files(${prefix} bin/qireds share/QIREdsUtil/Dictionary00.dtd)
  run(${prefix}/bin/qireds --version)
  # A first dictionary needs no input, is valid against the installed definition, and a run
  # that reuses it keeps every UUID.
  set(first ${STAGE_DIR}/first.xml)
  set(again ${STAGE_DIR}/again.xml)
  run(${prefix}/bin/qireds dictionary --fresh -o ${first})
  run(xmllint --noout --dtdvalid ${prefix}/share/QIREdsUtil/Dictionary00.dtd ${first})
  run(${prefix}/bin/qireds dictionary --reuse ${first} -o ${again})
  run(${CMAKE_COMMAND} -E compare_files ${first} ${again})
endif()

# The CMake package, found only in the moved prefix.
set(cmake_build ${STAGE_DIR}/cmake-consumer)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${cmake_build}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  -DCMAKE_BUILD_TYPE=${CONFIG} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} --build ${cmake_build} -j2)
run(${cmake_build}/consumer)
if(EXISTS ${prefix}/lib/cmake/QIREdsUtil/QIREdsSchemaSyncTargets.cmake)
  expect_files(${prefix} lib/libQIREdsSchemaSync.so lib/pkgconfig/QIREdsSchemaSync.pc
    include/QIREngSystemDbServerClient/QIREdsSchemaSync.h)
  run(${cmake_build}/schema_consumer ${cmake_build})
endif()

# pkg-config alone, with the .pc file of the moved prefix.
set(make_build ${STAGE_DIR}/make-consumer)
file(MAKE_DIRECTORY ${make_build})
run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig
  make -C ${make_build} -f ${SOURCE_DIR}/Makefile -j2 CXX=${CXX} "QIREDS_FLAGS=${FLAGS}" check)
