# Shared build settings and helpers for every subsystem.

add_library(tagscope_options INTERFACE)
target_compile_options(tagscope_options INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wno-unused-parameter>)
# The source root serves internal headers to the project's own code only; the libraries that
# other projects use carry their public include folder themselves (cmake/TagscopeInstall.cmake).
target_include_directories(tagscope_options INTERFACE ${PROJECT_SOURCE_DIR}
                                                     ${PROJECT_SOURCE_DIR}/include)
# GCC 12 warns about overlapping copies inside std::string's operator+ at -O3, where there
# are none; the warning only buries real ones.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(tagscope_options INTERFACE -Wno-restrict)
endif()

# The libraries other projects link (rtl, engine, imaging) are static unless asked otherwise.
if(TAGSCOPE_SHARED)
  if(WIN32)
    message(FATAL_ERROR "TAGSCOPE_SHARED is for native builds; the Windows programs and the "
                        "plug-in link everything statically")
  endif()
  set(TAGSCOPE_LIBRARY_TYPE SHARED)
else()
  set(TAGSCOPE_LIBRARY_TYPE STATIC)
endif()

if(TAGSCOPE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # The name the plug-in is released under: a 64-bit host needs the 64-bit build, and the
  # distinct name keeps the two apart when both sit in one folder.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TAGSCOPE_RELEASE_DLL_NAME tagscope64.dll)
  else()
    set(TAGSCOPE_RELEASE_DLL_NAME tagscope.dll)
  endif()
  # Everything links statically so the programs and the DLL need only system DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  target_compile_definitions(tagscope_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

# GoogleTest: Debian's package natively; built from Debian's sources when cross-compiling.
macro(tagscope_find_gtest)
  if(CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    if(NOT TARGET GTest::gtest_main)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endmacro()

# tagscope_add_test(<name> SOURCES ... LIBS ...): one test program, registered as one CTest test.
# Cross-built tests run through the emulator (Wine) that the toolchain file names.
function(tagscope_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tagscope_options ${T_LIBS} GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE TAGSCOPE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix")
  endif()
endfunction()

# tagscope_add_fuzzer(<name> SOURCES ... LIBS ... CORPUS <dir>...): a libFuzzer harness (clang).
# With tests enabled, a CTest test replays every file of the corpus folders once.
function(tagscope_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;CORPUS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE tagscope_options ${F_LIBS})
  if(TAGSCOPE_TESTS)
    add_test(NAME ${name}_replay COMMAND ${name} -runs=0 ${F_CORPUS})
    set_tests_properties(${name}_replay PROPERTIES TIMEOUT 600)
  endif()
endfunction()

# tagscope_add_benchmark(<name> SOURCES ... LIBS ...): a Google Benchmark program.
function(tagscope_add_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE tagscope_options ${B_LIBS} benchmark::benchmark_main)
endfunction()

# tagscope_find_mutagen_python(<var>): a Python 3 that has mutagen (a test-only oracle), or ""
# where none has it. Debian's own Python comes first: other installs may lack its packages.
function(tagscope_find_mutagen_python out)
  find_program(TAGSCOPE_PYTHON3 python3)
  foreach(candidate /usr/bin/python3 ${TAGSCOPE_PYTHON3})
    if(EXISTS ${candidate})
      execute_process(COMMAND ${candidate} -c "import mutagen" RESULT_VARIABLE missing
                      OUTPUT_QUIET ERROR_QUIET)
      if(missing EQUAL 0)
        set(${out} ${candidate} PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()
