# Authenticode signing of the Windows programs and the MSI.
#
# TALLIX_SIGN_PFX names a PKCS#12 certificate; its password is read from the
# environment variable TALLIX_SIGN_PASSWORD while the build runs, by the
# script cmake/TallixSignFile.cmake, so it never reaches the cache, a
# generated makefile or a command line that the build echoes. Without
# TALLIX_SIGN_PFX nothing is signed and osslsigncode is not needed.
set(TALLIX_SIGN_PFX "" CACHE FILEPATH
    "PKCS#12 certificate that signs tallix.exe, tallix-check.exe and the MSI (password: environment variable TALLIX_SIGN_PASSWORD at build time); empty: nothing is signed")
set(TALLIX_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 timestamp server for the signatures of a release; empty: no timestamp")

set(TALLIX_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/TallixSignFile.cmake)
set(TALLIX_SIGN_STAMP ${PROJECT_BINARY_DIR}/tallix-signing.txt)

if(TALLIX_SIGN_PFX)
  if(NOT EXISTS "${TALLIX_SIGN_PFX}" OR IS_DIRECTORY "${TALLIX_SIGN_PFX}")
    message(FATAL_ERROR "TALLIX_SIGN_PFX: no certificate file \"${TALLIX_SIGN_PFX}\"")
  endif()
  find_program(TALLIX_OSSLSIGNCODE osslsigncode)
  if(NOT TALLIX_OSSLSIGNCODE)
    message(FATAL_ERROR "TALLIX_SIGN_PFX is set but osslsigncode is not installed (scripts/deps.sh windows)")
  endif()
  # A new certificate under the same name re-runs the configuration, which
  # rewrites the stamp below and so signs everything again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TALLIX_SIGN_PFX})
  file(SHA256 ${TALLIX_SIGN_PFX} pfx_hash)
  set(signing "certificate ${TALLIX_SIGN_PFX} sha256 ${pfx_hash}\ntimestamp ${TALLIX_SIGN_TIMESTAMP_URL}\n")
  message(STATUS "Signing with ${TALLIX_SIGN_PFX}")
else()
  set(signing "unsigned\n")
endif()
# The programs are relinked whenever this changes: turning signing on, off
# or to another certificate never leaves a program signed the old way.
file(CONFIGURE OUTPUT ${TALLIX_SIGN_STAMP} CONTENT "${signing}")

# The command that signs FILE in place (nothing when signing is off).
function(tallix_sign_command out file)
  if(TALLIX_SIGN_PFX)
    set(${out} ${CMAKE_COMMAND} -DFILE=${file} -DPFX=${TALLIX_SIGN_PFX}
        -DOSSLSIGNCODE=${TALLIX_OSSLSIGNCODE} -DTIMESTAMP_URL=${TALLIX_SIGN_TIMESTAMP_URL}
        -P ${TALLIX_SIGN_SCRIPT} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

# Signs the program of `target` right after it is linked, so the ZIP, the
# MSI and the tests all carry the signed program.
function(tallix_sign_after_link target)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${TALLIX_SIGN_STAMP})
  tallix_sign_command(sign $<TARGET_FILE:${target}>)
  if(sign)
    add_custom_command(TARGET ${target} POST_BUILD COMMAND ${sign}
                       COMMENT "Signing ${target}" VERBATIM)
  endif()
endfunction()
