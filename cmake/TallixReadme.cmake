# The README that ships (ZIP, MSI, the installed documentation) is the
# project's README.md without what only developers need: every block from a
# line "<!-- developers -->" to a line "<!-- /developers -->" is left out,
# markers included, and its lines end in CR LF. It is made when CMake
# configures and again whenever README.md changes, so a package always
# carries the README of its sources.
#
#   TALLIX_SHIPPED_README: the file to install and pack.
set(TALLIX_SHIPPED_README ${PROJECT_BINARY_DIR}/packaging/README.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)

set(open_marker "\n<!-- developers -->\n")
set(close_marker "\n<!-- /developers -->\n")
file(READ ${PROJECT_SOURCE_DIR}/README.md rest)
# A leading line end lets the first line and the last be found like others.
set(rest "\n${rest}")
if(NOT rest MATCHES "\n$")
  string(APPEND rest "\n")
endif()
set(shipped "")
while(TRUE)
  string(FIND "${rest}" "${open_marker}" open)
  string(FIND "${rest}" "${close_marker}" close)
  if(open EQUAL -1)
    if(NOT close EQUAL -1)
      message(FATAL_ERROR "README.md: a developers block is closed that was never opened")
    endif()
    string(APPEND shipped "${rest}")
    break()
  endif()
  if(close EQUAL -1 OR close LESS open)
    message(FATAL_ERROR "README.md: a developers block is not closed before the next one or the end")
  endif()
  string(LENGTH "${open_marker}" open_length)
  math(EXPR inside_start "${open} + ${open_length} - 1")
  math(EXPR inside_length "${close} - ${inside_start}")
  string(SUBSTRING "${rest}" ${inside_start} ${inside_length} inside)
  if(inside MATCHES "\n<!-- developers -->\n")
    message(FATAL_ERROR "README.md: a developers block opens inside another")
  endif()
  string(SUBSTRING "${rest}" 0 ${open} before)
  string(APPEND shipped "${before}")
  # On after the close marker, keeping its leading line end for the text
  # that follows.
  string(LENGTH "${close_marker}" close_length)
  math(EXPR after "${close} + ${close_length} - 1")
  string(SUBSTRING "${rest}" ${after} -1 rest)
endwhile()
# What a block leaves behind: runs of empty lines become one, no empty line
# begins the file, and it ends with one line end.
string(REGEX REPLACE "\n\n\n+" "\n\n" shipped "${shipped}")
string(REGEX REPLACE "^\n+" "" shipped "${shipped}")
string(REGEX REPLACE "\n+$" "\n" shipped "${shipped}")
# It is read on Windows: CR LF line ends, or Notepad on older Windows shows
# one long line.
string(REPLACE "\n" "\r\n" shipped "${shipped}")
file(WRITE ${PROJECT_BINARY_DIR}/packaging/README.md.new "${shipped}")
# Rewritten only when it changed, so the packages are not rebuilt for nothing.
configure_file(${PROJECT_BINARY_DIR}/packaging/README.md.new ${TALLIX_SHIPPED_README} COPYONLY)
