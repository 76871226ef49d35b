# Sources of sound output, per target, relative to the top source directory.
# The sound module's logic, and what every layer may use: the streaming buffer, and the
# sample formats and gains of a mixer.
set(VELMORIN_SOUND_LOGIC_SOURCES
  sound/mixer/gains.cpp
  sound/mixer/sample_format.cpp
  sound/sound_buffer.cpp
  sound/sound_output.cpp
  sound/streaming_buffer.cpp
)
# DirectSound's layer.
set(VELMORIN_SOUND_WIN32_SOURCES
  sound/win32/dsound_layer.cpp
)
# Where there is no DirectSound: the software mixer with its time-stretcher, over one sound server's backend
# (VELMORIN_SOUND_BACKEND names it), each backend in a folder of its own with its sources
# and the pkg-config modules it needs.
set(VELMORIN_SOUND_MIXER_SOURCES
  sound/mixer/software_mixer.cpp
  sound/mixer/time_stretch.cpp
)
set(VELMORIN_SOUND_PULSE_SOURCES
  sound/pulse/pulse_layer.cpp
)
set(VELMORIN_SOUND_PULSE_MODULES libpulse)
