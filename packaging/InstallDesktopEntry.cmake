# Run at install time (install(CODE) in packaging/CMakeLists.txt): writes a desktop entry whose
# Exec names the console in the folder being installed, and installs it into DEST (relative:
# under the installation prefix; absolute: as given). Inputs: TEMPLATE (file), WORK, ENTRY_ID,
# ENTRY_NAME, ENTRY_EDITION, ENTRY_PROGRAM, DEST.
set(ENTRY_PATH "${CMAKE_INSTALL_PREFIX}")
if(ENTRY_PATH MATCHES "[\"`$\\\\%]")
  message(FATAL_ERROR "installation folder '${ENTRY_PATH}': a desktop entry cannot name it")
endif()
set(ENTRY_EXEC "${ENTRY_PATH}/${ENTRY_PROGRAM}")
if(ENTRY_EXEC MATCHES "[ \t'<>~|&;*?#()]")
  set(ENTRY_EXEC "\"${ENTRY_EXEC}\"")
endif()
configure_file("${TEMPLATE}" "${WORK}/${ENTRY_ID}.desktop" @ONLY)
if(NOT IS_ABSOLUTE "${DEST}")
  set(DEST "${CMAKE_INSTALL_PREFIX}/${DEST}")
endif()
file(INSTALL DESTINATION "${DEST}" TYPE FILE FILES "${WORK}/${ENTRY_ID}.desktop")
file(REMOVE_RECURSE "${WORK}")
