# The tag writer's tests, a program of their own.
find_package(ZLIB REQUIRED)
tagscope_add_test(engine_write_tests
  SOURCES
    tag_builder.cpp
    write_test_support.cpp
    write_test.cpp
    write_fault_test.cpp
    write_roundtrip_test.cpp
    write_safety_test.cpp
    file/write_journal_test.cpp
    write_stray_bytes_test.cpp
    $<$<NOT:$<BOOL:${WIN32}>>:file/write_handles_posix_test.cpp>
    write_refusals_test.cpp
    $<$<NOT:$<BOOL:${WIN32}>>:file/write_beside_posix_test.cpp>
    $<$<NOT:$<BOOL:${WIN32}>>:file/write_mark_posix_test.cpp>
  LIBS tagscope_engine ZLIB::ZLIB)
# What power cuts leave on a disk as weak as real ones: a program of its own, so that its
# outcome is told apart from the other writer tests'.
if(NOT WIN32)
  tagscope_add_test(engine_power_cut_tests
    SOURCES tag_builder.cpp write_test_support.cpp write_power_cut_test.cpp
    LIBS tagscope_engine ZLIB::ZLIB)
endif()

# Tags written by the engine, read back by mutagen where a Python 3 with mutagen is at hand.
if(NOT CMAKE_CROSSCOMPILING)
  add_executable(engine_write_samples write_samples.cpp write_test_support.cpp)
  target_link_libraries(engine_write_samples PRIVATE tagscope_options tagscope_engine)
  tagscope_find_mutagen_python(mutagen_python)
  if(mutagen_python)
    add_test(NAME engine_write_mutagen
             COMMAND ${mutagen_python} ${CMAKE_CURRENT_SOURCE_DIR}/write_mutagen_check.py
                     $<TARGET_FILE:engine_write_samples>)
    set_tests_properties(engine_write_mutagen PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
  else()
    add_test(NAME engine_write_mutagen
             COMMAND ${CMAKE_COMMAND} -E echo "mutagen is not installed: skipped")
    set_tests_properties(engine_write_mutagen PROPERTIES SKIP_REGULAR_EXPRESSION "skipped")
  endif()
endif()
