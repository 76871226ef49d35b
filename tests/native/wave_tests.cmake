# The WAVE reader's tests and their shared file generator.
list(APPEND VELMORIN_NATIVE_TEST_SOURCES
  ${PROJECT_SOURCE_DIR}/tests/common/wave_file_reader_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/wave_riff_file_native_test.cpp
)
