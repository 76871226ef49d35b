# Sources of the WAVE reader, per target, relative to the top source directory.
set(VELMORIN_WAVE_LOGIC_SOURCES
  wave/wave_file_reader.cpp
)
# The program's own RIFF layer, where the mmio functions are absent.
set(VELMORIN_WAVE_NATIVE_SOURCES
  wave/riff_file_native.cpp
)
# The RIFF layer over the Windows mmio functions.
set(VELMORIN_WAVE_WIN32_SOURCES
  wave/riff_file_mmio.cpp
)
