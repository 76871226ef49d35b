# Sources of the WAVE reader, per target, relative to the top source directory.
set(VELMORIN_WAVE_LOGIC_SOURCES
  wave/decoded_window.cpp
  wave/wave_file_reader.cpp
)
# The program's own RIFF layer, where the mmio functions are absent.
set(VELMORIN_WAVE_NATIVE_SOURCES
  wave/riff_file_native.cpp
)
# The RIFF layer over the Windows mmio functions; no decoder there.
set(VELMORIN_WAVE_WIN32_SOURCES
  wave/decoded_none.cpp
  wave/riff_file_mmio.cpp
)
# The decoder of other recordings, over FFmpeg's libraries, and the pkg-config modules it
# needs.
set(VELMORIN_WAVE_FFMPEG_SOURCES
  wave/ffmpeg/ffmpeg_decoder.cpp
)
set(VELMORIN_WAVE_FFMPEG_MODULES libavformat libavcodec libswresample libavutil)
