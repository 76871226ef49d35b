# Sources of the application shell, per target, relative to the top source directory.
# The shell's logic: the entry's rules, the main dialog procedure, the display helpers and
# the rules of the Win32 dialog manager that the other adapters and the test fake keep.
set(VELMORIN_APP_LOGIC_SOURCES
  app/atom_table.cpp
  app/command_line.cpp
  app/display.cpp
  app/keep_pitch.cpp
  app/main_dialog.cpp
)
# The Win32 dialog manager's adapter and the About box procedure; the entry.
set(VELMORIN_APP_WIN32_SOURCES
  app/win32/about_dialog.cpp
  app/win32/win32_dialog.cpp
)
set(VELMORIN_APP_WIN32_ENTRY app/win32/winmain.cpp)
# The GTK 3 adapter of the dialog operations, and the native edition's ways in.
set(VELMORIN_APP_GTK_SOURCES
  app/gtk/gtk_boxes.cpp
  app/gtk/gtk_dialog.cpp
  app/gtk/gtk_due_source.cpp
  app/gtk/gtk_queue.cpp
  app/gtk/gtk_text_box.cpp
  app/gtk/gtk_window.cpp
  app/ways_in/hidraw_pedals.cpp
  app/ways_in/mpris_player.cpp
  app/ways_in/portal_hotkeys.cpp
  app/ways_in/way_in.cpp
  app/ways_in/x11_hotkeys.cpp
)
set(VELMORIN_APP_GTK_ENTRY app/gtk/gtk_main.cpp)
