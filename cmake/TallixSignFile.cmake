# Signs one file in place with Authenticode (SHA-256):
#
#   cmake -DFILE=<file> -DPFX=<file.pfx> -DOSSLSIGNCODE=<path>
#         [-DTIMESTAMP_URL=<url>] -P TallixSignFile.cmake
#
# The certificate's password comes from the environment variable
# TALLIX_SIGN_PASSWORD. osslsigncode reads it from a file in a folder only
# this user can enter, removed straight after, so it appears on no command
# line (which `ps` shows to everyone) and in no output. When signing fails,
# FILE is removed too: the next build makes it again instead of taking the
# unsigned file for finished.
cmake_minimum_required(VERSION 3.20)

function(fail why)
  file(REMOVE "${FILE}" "${FILE}.signed")
  message(FATAL_ERROR "Signing ${FILE} failed: ${why}")
endfunction()

foreach(var FILE PFX OSSLSIGNCODE)
  if(NOT ${var})
    message(FATAL_ERROR "TallixSignFile.cmake: -D${var}=... is missing")
  endif()
endforeach()
if(NOT DEFINED ENV{TALLIX_SIGN_PASSWORD})
  fail("the environment variable TALLIX_SIGN_PASSWORD (the password of ${PFX}) is not set; set it to an empty value for a certificate without one")
endif()
if(NOT EXISTS "${PFX}" OR IS_DIRECTORY "${PFX}")
  fail("no certificate file \"${PFX}\" (TALLIX_SIGN_PFX)")
endif()

get_filename_component(dir "${FILE}" DIRECTORY)
string(RANDOM LENGTH 16 tag)
set(private "${dir}/.tallix-sign-${tag}")
file(MAKE_DIRECTORY "${private}")
file(CHMOD "${private}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE "${private}/password" "$ENV{TALLIX_SIGN_PASSWORD}")

set(timestamp)
if(TIMESTAMP_URL)
  set(timestamp -ts "${TIMESTAMP_URL}")
endif()
execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PFX}" -readpass "${private}/password"
          -h sha256 -n TALLIX ${timestamp} -in "${FILE}" -out "${FILE}.signed"
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE_RECURSE "${private}")

if(NOT status EQUAL 0)
  if(NOT "$ENV{TALLIX_SIGN_PASSWORD}" STREQUAL "")
    string(REPLACE "$ENV{TALLIX_SIGN_PASSWORD}" "********" output "${output}")
  endif()
  if(output MATCHES "Wrong password|mac verify failure")
    fail("wrong password for ${PFX} in TALLIX_SIGN_PASSWORD")
  endif()
  string(STRIP "${output}" output)
  fail("osslsigncode: ${output}")
endif()
file(RENAME "${FILE}.signed" "${FILE}")
if(FILE MATCHES "\\.exe$")
  # osslsigncode writes its output without the linker's execute bits.
  file(CHMOD "${FILE}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()
