# Shared build settings and helper functions of the Strandwork build.

set(SW_WARNINGS -Wall -Wextra -Woverloaded-virtual)
if(SW_WERROR)
  list(APPEND SW_WARNINGS -Werror)
endif()

if(SW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize=vptr)
  # Line tables are all a sanitizer report needs; full debug information
  # would triple the size of the build.
  add_compile_options(-g1)
endif()

set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

# sw_library(NAME <name> [QT] [SOURCES ...] [LIBS ...])
# A library of the current folder: static, or shared with SW_SHARED_LIBS
# (the test build). Without SOURCES every *.cpp of the folder is compiled.
# QT turns on moc/uic/rcc; Qt-free folders never pass it.
#
# A shared library leaves the symbols of the static GoogleTest libraries
# undefined: the test program links them once and the libraries use its
# copy (two copies would be two test registries).  A shared library also
# holds every object of its folder, so the programs that link it must link
# everything those objects use.
function(sw_library)
  cmake_parse_arguments(A "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT A_SOURCES)
    file(GLOB A_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    file(GLOB hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(APPEND A_SOURCES ${hdrs})
  endif()
  if(SW_SHARED_LIBS)
    add_library(${A_NAME} SHARED ${A_SOURCES})
    # (The arguments of a deferred call are read when it runs: the name
    # goes in as a literal.)
    cmake_language(EVAL CODE "cmake_language(DEFER CALL _sw_make_static_variant [[${A_NAME}]])")
  else()
    add_library(${A_NAME} STATIC ${A_SOURCES})
  endif()
  target_compile_options(${A_NAME} PRIVATE ${SW_WARNINGS})
  target_include_directories(${A_NAME} PUBLIC ${CMAKE_SOURCE_DIR})
  if(A_QT)
    set_target_properties(${A_NAME} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  endif()
  set(libs "")
  foreach(lib ${A_LIBS})
    if(SW_SHARED_LIBS AND lib MATCHES "^GTest::")
      # Only a program links GoogleTest: a shared library that links this
      # one must not pull a second copy of it in.
      target_link_libraries(${A_NAME} INTERFACE $<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:${lib}>)
      target_include_directories(${A_NAME} PRIVATE $<TARGET_PROPERTY:${lib},INTERFACE_INCLUDE_DIRECTORIES>)
      target_compile_definitions(${A_NAME} PRIVATE $<TARGET_PROPERTY:${lib},INTERFACE_COMPILE_DEFINITIONS>)
    else()
      list(APPEND libs ${lib})
    endif()
  endforeach()
  target_link_libraries(${A_NAME} PUBLIC ${libs})
endfunction()

# sw_program(NAME <name> [QT] SOURCES ... [LIBS ...])
# A program; it is placed in the build's bin/ folder, beside strandwork.
function(sw_program)
  cmake_parse_arguments(A "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES})
  target_compile_options(${A_NAME} PRIVATE ${SW_WARNINGS})
  target_include_directories(${A_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  if(A_QT)
    set_target_properties(${A_NAME} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  endif()
  set_target_properties(${A_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  target_link_libraries(${A_NAME} PRIVATE ${A_LIBS})
endfunction()

# Precompiled headers of the test programs.  About two hundred test
# programs each parse GoogleTest, the standard library and (in the window
# tests) Qt Widgets and QtTest again; two small host programs compile those
# headers once and every test program reuses the result.  A precompiled
# header is only used when it was built with the same flags (position-
# independent code, sanitizers, warnings, the -D flags its headers look
# at), so the hosts are executables of the top folder like the tests.  Qt's
# libraries make their users -fPIC, so every test program and both hosts are
# compiled with -fPIC.  QtTest stays out: its -D flags name each test's own
# folder.  With warnings as errors an unusable header fails the build
# (-Winvalid-pch) instead of silently costing the time again.
# Only headers that never change with the project's own sources belong
# here: a change to one of them rebuilds every test.
set(SW_TEST_PCH_STD <algorithm> <chrono> <cstdlib> <cstring> <filesystem>
    <fstream> <functional> <map> <memory> <set> <sstream> <string> <thread>
    <vector> <gtest/gtest.h>)
set(SW_TEST_PCH_QT <QApplication> <QCheckBox> <QComboBox> <QDir>
    <QElapsedTimer> <QFile> <QLabel> <QLineEdit> <QListWidget> <QMdiArea>
    <QMdiSubWindow> <QPushButton> <QTimer> <QWidget>)

# sw_add_test_pch_hosts()
# The hosts sw_pch_tests (GoogleTest and the standard library) and
# sw_pch_tests_qt (the same plus Qt Widgets); sw_tests() makes
# every test program reuse one of them.  Called once from the top folder.
function(sw_add_test_pch_hosts)
  set(src ${CMAKE_BINARY_DIR}/pch/pch_host.cpp)
  file(CONFIGURE OUTPUT ${src} CONTENT "int main() { return 0; }\n")
  foreach(host sw_pch_tests sw_pch_tests_qt)
    add_executable(${host} EXCLUDE_FROM_ALL ${src})
    target_compile_options(${host} PRIVATE ${SW_WARNINGS} -fPIC)
    target_link_libraries(${host} PRIVATE GTest::gtest Threads::Threads)
    set_target_properties(${host} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/pch)
  endforeach()
  target_precompile_headers(sw_pch_tests PRIVATE ${SW_TEST_PCH_STD})
  target_link_libraries(sw_pch_tests_qt PRIVATE Qt6::Widgets)
  target_precompile_headers(sw_pch_tests_qt PRIVATE ${SW_TEST_PCH_STD} ${SW_TEST_PCH_QT})
endfunction()

# The test-support libraries that bring their own main() for the test
# programs that link them (in place of GTest::gtest_main): support_ui
# creates the application of the window tests (docs/testing.md).
set(SW_TEST_MAIN_LIBS support_ui)

# The environment of every ctest test.
set(SW_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/config;XDG_STATE_HOME=${CMAKE_BINARY_DIR}/test-home/state;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/data;SW_SOURCE_DIR=${CMAKE_SOURCE_DIR};SW_FIXTURES=${CMAKE_SOURCE_DIR}/tests/fixtures;SW_BIN_DIR=${CMAKE_BINARY_DIR}/bin")

# sw_tests(PREFIX <prefix> [QT] [LIBS ...] [LABELS ...])
# Every test_<name>.cpp of the current folder becomes one GoogleTest program
# and one ctest test named <prefix>_<name>; run one alone with
# ctest -R '^<prefix>_<name>$'.  Extra sources shared by the folder's tests
# may be given as SOURCES.  Tests never see the user's own settings: their
# XDG_CONFIG_HOME and XDG_STATE_HOME point into the build folder.  The
# programs get GTest::gtest_main unless LIBS names it or a library of
# SW_TEST_MAIN_LIBS.
function(sw_tests)
  cmake_parse_arguments(A "QT" "PREFIX" "LIBS;SOURCES;ENVIRONMENT" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  foreach(src ${tests})
    get_filename_component(stem ${src} NAME_WE)
    string(REGEX REPLACE "^test_" "" stem ${stem})
    set(name ${A_PREFIX}_${stem})
    add_executable(${name} ${src} ${A_SOURCES})
    target_compile_options(${name} PRIVATE ${SW_WARNINGS} -fPIC)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    if(A_QT)
      set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(A_QT)
      target_precompile_headers(${name} REUSE_FROM sw_pch_tests_qt)
    else()
      target_precompile_headers(${name} REUSE_FROM sw_pch_tests)
    endif()
    target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock Threads::Threads)
    set(has_main FALSE)
    foreach(lib GTest::gtest_main ${SW_TEST_MAIN_LIBS})
      if(lib IN_LIST A_LIBS)
        set(has_main TRUE)
      endif()
    endforeach()
    if(NOT has_main)
      target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${SW_TEST_ENVIRONMENT};${A_ENVIRONMENT}" TIMEOUT 300)
  endforeach()
endfunction()

# sw_benchmarks([LIBS ...])
# Every bench_<name>.cpp of the current folder becomes the Google Benchmark
# program bench_<name> in the build's bench/ folder.
function(sw_benchmarks)
  cmake_parse_arguments(A "QT" "" "LIBS" ${ARGN})
  file(GLOB benches CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench_*.cpp)
  foreach(src ${benches})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE ${SW_WARNINGS})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    if(A_QT)
      set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
    target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark benchmark::benchmark_main)
  endforeach()
endfunction()

# sw_add_benchmarks_target()
# The target `benchmarks`: every program of the folders under bench/.  With
# the tests, each program is also the ctest test bench_run_<program>: one
# run of every benchmark on a small input (SW_BENCH_SMALL, bench/BenchSize.h)
# with the shortest time, which shows that it runs and ends with status 0,
# under the sanitizers of the test build.
function(sw_add_benchmarks_target)
  add_custom_target(benchmarks)
  get_property(dirs GLOBAL PROPERTY SW_UNIT_DIRS)
  foreach(dir ${dirs})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
    if(NOT rel MATCHES "^bench(/|$)")
      continue()
    endif()
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
      get_target_property(type ${t} TYPE)
      if(type STREQUAL "EXECUTABLE")
        add_dependencies(benchmarks ${t})
        if(SW_BUILD_TESTS)
          add_test(NAME bench_run_${t} COMMAND ${t} --benchmark_min_time=0.001
                   WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
          set_tests_properties(bench_run_${t} PROPERTIES
            ENVIRONMENT "${SW_TEST_ENVIRONMENT};SW_BENCH_SMALL=1" LABELS bench TIMEOUT 120)
        endif()
      endif()
    endforeach()
  endforeach()
endfunction()

# sw_link_statically(<program>)
# In the test build (SW_SHARED_LIBS) links <program> from static archives
# of the project's libraries, as the release build links it, instead of
# the shared libraries: a static link keeps only the objects that something
# references, so code that is reached only through a static initialiser
# in a file nothing references is left out of the program.  The tests that
# run the program (and the check of its symbols) then see what a user
# gets.  Called from the top folder once all folders are added.
function(sw_link_statically prog)
  if(NOT SW_SHARED_LIBS)
    return()
  endif()
  get_target_property(libs ${prog} LINK_LIBRARIES)
  set(mapped "")
  foreach(lib ${libs})
    if(TARGET ${lib}_static)
      list(APPEND mapped ${lib}_static)
    else()
      list(APPEND mapped ${lib})
    endif()
  endforeach()
  set_property(TARGET ${prog} PROPERTY LINK_LIBRARIES ${mapped})
endfunction()

# <lib>_static beside every shared library of the test build: a thin
# archive (the top folder sets the archive rule) of the shared library's
# own object files (its moc output's included), compiled once, linking the static variants of its
# libraries where they exist and the rest as they are.  Made at the end of
# the library's folder (sw_library defers the call), when all its
# libraries are known; built only for a program that links it.
function(_sw_make_static_variant lib)
  set(objects $<TARGET_OBJECTS:${lib}>)
  get_target_property(automoc ${lib} AUTOMOC)
  if(automoc)
    # The object of the moc output that AUTOMOC adds is not among
    # TARGET_OBJECTS; it lies where the generators put the objects of the
    # target's autogen folder.
    set(moc ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/${lib}.dir/${lib}_autogen/mocs_compilation.cpp.o)
    set_source_files_properties(${moc} PROPERTIES GENERATED ON EXTERNAL_OBJECT ON)
    list(APPEND objects ${moc})
  endif()
  add_library(${lib}_static STATIC EXCLUDE_FROM_ALL ${objects})
  add_dependencies(${lib}_static ${lib})
  set_target_properties(${lib}_static PROPERTIES ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/static)
  target_include_directories(${lib}_static INTERFACE $<TARGET_PROPERTY:${lib},INTERFACE_INCLUDE_DIRECTORIES>)
  get_target_property(deps ${lib} LINK_LIBRARIES)
  set(mapped "")
  if(deps)
    foreach(dep ${deps})
      if(dep MATCHES "^\\$<" OR dep MATCHES "::")
        list(APPEND mapped ${dep})
      else()
        list(APPEND mapped "$<IF:$<TARGET_EXISTS:${dep}_static>,${dep}_static,${dep}>")
      endif()
    endforeach()
  endif()
  target_link_libraries(${lib}_static PUBLIC ${mapped})
endfunction()
