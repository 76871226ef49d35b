# Installing and packaging. Linux: the program, its desktop entry, icons, AppStream data
# and manual page under the prefix, and a Debian package made by CPack with its
# dependencies read from the binary. Windows: a zip of velmorin.exe and a README.
set(VELMORIN_RELEASE_DATE 2026-12-08)
set(CPACK_PACKAGE_NAME velmorin)
set(CPACK_PACKAGE_VENDOR "Velmorin Project")
set(CPACK_PACKAGE_CONTACT "Velmorin Project <feedback@velmorin.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "transcription player for recorded speech")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(VELMORIN_PACKAGING ${CMAKE_CURRENT_LIST_DIR})
set(VELMORIN_GENERATED ${CMAKE_BINARY_DIR}/packaging)
# Installing (and so CPack) takes what was built, without building every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(WIN32)
  configure_file(${VELMORIN_PACKAGING}/windows/README.txt.in ${VELMORIN_GENERATED}/README.txt
                 NEWLINE_STYLE CRLF)
  install(TARGETS velmorin RUNTIME DESTINATION .)
  install(FILES ${VELMORIN_GENERATED}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME velmorin-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  return()
endif()

# The types the program opens: WAVE files, and the recordings and videos whose sound FFmpeg
# decodes; for the desktop entry and the AppStream data.
set(VELMORIN_MIME_TYPES
  audio/wav audio/x-wav audio/vnd.wave
  audio/mpeg audio/mp4 audio/x-m4a audio/aac audio/x-aac audio/ogg audio/x-vorbis+ogg
  audio/opus audio/x-opus+ogg audio/flac audio/x-flac audio/x-ms-wma audio/AMR audio/AMR-WB
  audio/x-aiff audio/x-wavpack audio/x-ape audio/ac3 audio/basic audio/x-matroska audio/webm
  video/mp4 video/quicktime video/3gpp video/3gpp2 video/x-matroska video/webm video/x-msvideo
  video/x-ms-wmv video/x-ms-asf video/mpeg video/mp2t video/x-flv)
set(VELMORIN_DESKTOP_MIME_TYPES "${VELMORIN_MIME_TYPES};")
string(REPLACE ";" "</mediatype>\n    <mediatype>" VELMORIN_APPSTREAM_MIME_TYPES "${VELMORIN_MIME_TYPES}")
include(GNUInstallDirs)
foreach(file velmorin.desktop velmorin.metainfo.xml velmorin.1 changelog)
  configure_file(${VELMORIN_PACKAGING}/linux/${file}.in ${VELMORIN_GENERATED}/${file} @ONLY)
endforeach()

# Compressed as Debian wants them: no name or time stamp in the gzip header.
foreach(file velmorin.1 changelog)
  add_custom_command(OUTPUT ${VELMORIN_GENERATED}/${file}.gz
    COMMAND gzip -9nc ${VELMORIN_GENERATED}/${file} > ${VELMORIN_GENERATED}/${file}.gz
    DEPENDS ${VELMORIN_GENERATED}/${file})
  list(APPEND VELMORIN_PACKAGE_FILES ${VELMORIN_GENERATED}/${file}.gz)
endforeach()

# The icon in the sizes the desktops ask for, drawn from the program's own icon art.
set(VELMORIN_ICON_SIZES 16 24 32 48 64 128 256)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(size ${VELMORIN_ICON_SIZES})
  set(png ${VELMORIN_GENERATED}/icons/${size}/${VELMORIN_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORIN_GENERATED}/icons/${size}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make_icon.py --png ${size} ${png}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py)
  list(APPEND VELMORIN_PACKAGE_FILES ${png})
  install(FILES ${png}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(velmorin_package_files ALL DEPENDS ${VELMORIN_PACKAGE_FILES})

install(TARGETS velmorin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VELMORIN_GENERATED}/velmorin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications RENAME ${VELMORIN_APP_ID}.desktop)
install(FILES ${VELMORIN_GENERATED}/velmorin.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME ${VELMORIN_APP_ID}.metainfo.xml)
install(FILES ${VELMORIN_GENERATED}/velmorin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VELMORIN_GENERATED}/changelog.gz ${VELMORIN_PACKAGING}/linux/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Lets the user at the seat read the foot pedals.
install(FILES ${VELMORIN_PACKAGING}/linux/70-velmorin-pedals.rules
        DESTINATION lib/udev/rules.d)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.velmorin.example/)
# The extended description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Velmorin plays back a WAVE recording while you type its transcript in another
program. Alt+J pauses and resumes, Alt+K skips forward and Alt+H skips back,
whichever program has the keyboard; every resume starts a little before where
the pause stopped, and an automatic cycle can play and pause on its own.")
# Debian wants stripped binaries in a package.
set(CPACK_STRIP_FILES ON)
include(CPack)
