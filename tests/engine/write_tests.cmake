# The tag writer's tests, a program of their own.
tagscope_add_test(engine_write_tests
  SOURCES
    tag_builder.cpp
    write_test_support.cpp
    write_test.cpp
    write_fault_test.cpp
    write_roundtrip_test.cpp
  LIBS tagscope_engine)
