# The resources' sources, relative to the top source directory: the dialog template that
# the adapters without a resource script build from, and the build's facts as a header.
set(VELMORIN_RES_SOURCES
  res/dialog_template.cpp
)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/res/build_info.h.in
               ${CMAKE_CURRENT_BINARY_DIR}/generated/res/build_info.h @ONLY)
