# Target helpers shared by every subsystem's CMakeLists.txt. The same calls
# work in both configurations: the native one builds and runs the portable
# tests and registers the Windows tests to run under Wine; the MinGW one builds
# the Windows executables.

set(TIYAN_RIG ${CMAKE_SOURCE_DIR}/tests/rig)

function(tiyan_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX UNICODE _UNICODE)
  endif()
endfunction()

macro(tiyan_setup_googletest)
  if(WIN32)
    add_link_options(-static)
  else()
    option(TIYAN_SANITIZE "build native code with AddressSanitizer and UBSan" ON)
    if(TIYAN_SANITIZE)
      add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                          -fno-omit-frame-pointer)
      add_link_options(-fsanitize=address,undefined)
    endif()
    # Fuzz targets under libFuzzer (clang only): everything, the core
    # included, gets the coverage instrumentation libFuzzer steers by.
    option(TIYAN_LIBFUZZER "build the fuzz targets for libFuzzer (clang)" OFF)
    if(TIYAN_LIBFUZZER)
      if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TIYAN_LIBFUZZER needs clang (CMAKE_CXX_COMPILER=clang++)")
      endif()
      add_compile_options(-fsanitize=fuzzer-no-link)
      add_custom_target(fuzz_targets)
      # One line per target, "<name> <corpus folder>", for tools/fuzz/run_fuzz.py.
      file(WRITE ${CMAKE_BINARY_DIR}/fuzz_targets.txt "")
    endif()
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  enable_testing()
endmacro()

# Where the native configuration finds the Windows test programs.
set(TIYAN_WIN64_BIN ${CMAKE_BINARY_DIR}/win64/bin)
set(TIYAN_WINE_DIR ${CMAKE_BINARY_DIR}/wine)

option(TIYAN_WINDOWS_BUILDS "also build the Windows programs and run their tests under Wine" ON)

function(_tiyan_wine_test name)
  if(WIN32 OR NOT TIYAN_WINDOWS_BUILDS)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${TIYAN_RIG}/wine-env run ${TIYAN_WINE_DIR} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
endfunction()

# A GoogleTest program over the portable core: run natively under the
# sanitizers, and as an x86_64 Windows program under Wine.
function(tiyan_portable_test name)
  add_executable(${name} ${ARGN})
  tiyan_strict(${name})
  target_link_libraries(${name} PRIVATE tiyan_core GTest::gtest_main)
  if(NOT WIN32)
    add_test(NAME native.${name} COMMAND ${name})
    set_tests_properties(native.${name} PROPERTIES WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
    _tiyan_wine_test(wine.${name} ${TIYAN_WIN64_BIN}/${name}.exe)
  endif()
endfunction()

# A GoogleTest program over the Windows layer, run under Wine. GUI tests share
# one display and take turns on it.
function(tiyan_win_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  if(WIN32)
    add_executable(${name} ${T_SOURCES})
    tiyan_strict(${name})
    target_link_libraries(${name} PRIVATE tiyan_win ${T_LIBS} GTest::gtest_main)
  elseif(TIYAN_WINDOWS_BUILDS)
    _tiyan_wine_test(wine.${name} ${TIYAN_WIN64_BIN}/${name}.exe)
    if(T_GUI)
      set_tests_properties(wine.${name} PROPERTIES RESOURCE_LOCK display)
    endif()
  endif()
endfunction()

# A test driven from Linux (python3): it starts the Windows programs under
# Wine on the shared display and gives real input with xdotool.
function(tiyan_rig_test name script)
  if(NOT WIN32 AND TIYAN_WINDOWS_BUILDS)
    add_test(NAME rig.${name} COMMAND ${TIYAN_RIG}/wine-env run-linux ${TIYAN_WINE_DIR} python3
                                      ${script} ${ARGN})
    set_tests_properties(rig.${name} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK display
                         WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                         ENVIRONMENT "TIYAN_BIN=${TIYAN_WIN64_BIN};TIYAN_NATIVE_BIN=${CMAKE_BINARY_DIR}/bin;TIYAN_SOURCE=${CMAKE_SOURCE_DIR};TIYAN_RIG=${TIYAN_RIG}")
  endif()
endfunction()

# A helper program for Windows only (page host, probes, launchers).
function(tiyan_win_tool name)
  if(WIN32)
    add_executable(${name} ${ARGN})
    tiyan_strict(${name})
  endif()
endfunction()

# A fuzz target over the portable core: SOURCES define LLVMFuzzerTestOneInput,
# CORPUS is its seed folder in the repo. With TIYAN_LIBFUZZER it is a libFuzzer
# program (run by `make fuzz`); otherwise it links the shared replay main and
# ctest replays its corpus as native.<name> under the sanitizers.
function(tiyan_fuzz_target name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES" ${ARGN})
  if(WIN32)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  tiyan_strict(${name})
  target_link_libraries(${name} PRIVATE tiyan_core)
  if(TIYAN_LIBFUZZER)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzz_targets ${name})
    file(APPEND ${CMAKE_BINARY_DIR}/fuzz_targets.txt "${name} ${F_CORPUS}\n")
  else()
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz_replay_main.cpp)
    add_test(NAME native.${name} COMMAND ${name} ${F_CORPUS})
  endif()
endfunction()
