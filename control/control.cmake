# Sources of playback control, relative to the top source directory: logic only.
set(VELMORIN_CONTROL_SOURCES
  control/auto_pause.cpp
  control/file_open.cpp
  control/hotkeys.cpp
  control/pedals.cpp
  control/player_state.cpp
  control/player_view.cpp
  control/remote_control.cpp
  control/slider_settings.cpp
  control/transport.cpp
)
