# Builds the Windows programs with both MinGW toolchains and prepares the Wine
# fixture for the tests that run them.
include(ExternalProject)

if(NOT TIYAN_WINDOWS_BUILDS)
  return()
endif()

option(TIYAN_WIN32_BUILD "also build the i686 release target" ON)
set(arches x86_64)
if(TIYAN_WIN32_BUILD)
  list(APPEND arches i686)
endif()
foreach(arch ${arches})
  if(arch STREQUAL x86_64)
    set(dir win64)
  else()
    set(dir win32)
  endif()
  ExternalProject_Add(${dir}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${dir}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DBANK_HOST=${BANK_HOST}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    TEST_COMMAND "")
endforeach()

add_test(NAME wine.setup COMMAND ${TIYAN_RIG}/wine-env start ${TIYAN_WINE_DIR})
add_test(NAME wine.teardown COMMAND ${TIYAN_RIG}/wine-env stop ${TIYAN_WINE_DIR})
set_tests_properties(wine.setup PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine.teardown PROPERTIES FIXTURES_CLEANUP wine)
