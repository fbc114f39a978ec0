# Makes one patch folder per edition from a staged installation (see packaging/CMakeLists.txt).
# Inputs: STAGE (the staged installation), OUT, BASE (an installation to compare with, or
# empty), VERSION, PATCHER (the Orvel_Patch program), FELICA_ONLY and MIFARE_ONLY (comma lists
# of the files that belong to one edition).
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" FELICA_ONLY "${FELICA_ONLY}")
string(REPLACE "," ";" MIFARE_ONLY "${MIFARE_ONLY}")
# The patch installer replaces the files of the installation folder itself; desktop entries name
# the folder they were installed in and are never part of a patch.
file(GLOB files LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
list(FILTER files EXCLUDE REGEX "\\.desktop$")
foreach(edition IN ITEMS Felica Mifare)
  if(edition STREQUAL "Felica")
    set(other ${MIFARE_ONLY})
  else()
    set(other ${FELICA_ONLY})
  endif()
  set(dir ${OUT}/${edition})
  file(MAKE_DIRECTORY ${dir}/PatchFile)
  set(count 0)
  foreach(f IN LISTS files)
    if(f IN_LIST other)
      continue()
    endif()
    if(BASE AND EXISTS ${BASE}/${f})
      file(SHA256 ${STAGE}/${f} new)
      file(SHA256 ${BASE}/${f} old)
      if(new STREQUAL old)
        continue()
      endif()
    endif()
    # COPY keeps the mode and the modification time the update decision looks at.
    file(COPY ${STAGE}/${f} DESTINATION ${dir}/PatchFile)
    math(EXPR count "${count} + 1")
  endforeach()
  file(WRITE ${dir}/PatchFile/Vers.dat "${edition}\r\n${VERSION}\r\n")
  file(COPY ${PATCHER} DESTINATION ${dir})
  message(STATUS "${dir}: ${count} files and Vers.dat (${edition} ${VERSION})")
endforeach()
