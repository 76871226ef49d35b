# Sources of the WAVE reader, per target (set by the wave subsystem).
set(VELMORIN_WAVE_LOGIC_SOURCES)
set(VELMORIN_WAVE_NATIVE_SOURCES)
set(VELMORIN_WAVE_WIN32_SOURCES)
