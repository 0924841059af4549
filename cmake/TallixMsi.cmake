# The Windows Installer package for deploying TALLIX to many PCs:
#
#   cmake --build --preset windows --target msi
#     -> build/windows/tallix-<version>-x64.msi
#
# built with wixl from packaging/tallix.wxs.in: tallix.exe, tallix-check.exe,
# the README and the samples, per machine into C:\Program Files\TALLIX, and
# signed like the programs when TALLIX_SIGN_PFX is set.

# Windows Installer compares versions as major.minor.build with at most
# 255.255.65535; a version beyond that would make upgrades misfire.
if(PROJECT_VERSION_MAJOR GREATER 255 OR PROJECT_VERSION_MINOR GREATER 255
   OR PROJECT_VERSION_PATCH GREATER 65535)
  message(FATAL_ERROR "Version ${PROJECT_VERSION} cannot be an MSI version (at most 255.255.65535)")
endif()

# Every TALLIX package, of any version, carries this code: never change it,
# or installed copies are no longer upgraded.
set(TALLIX_UPGRADE_CODE 9DB12997-0318-4CB8-ADB0-528FC3597222)

# One component per sample, each file its own key path, so the component
# GUIDs wixl derives from the paths stay the same from version to version.
file(GLOB samples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/samples/*)
set(TALLIX_MSI_SAMPLE_COMPONENTS "")
set(TALLIX_MSI_SAMPLE_REFS "")
foreach(path IN LISTS samples)
  get_filename_component(name ${path} NAME)
  string(MAKE_C_IDENTIFIER "sample_${name}" id)
  string(APPEND TALLIX_MSI_SAMPLE_COMPONENTS
    "            <Component Id=\"${id}\" Guid=\"*\" Win64=\"yes\">\n"
    "              <File Id=\"${id}\" Name=\"${name}\" Source=\"TALLIX/samples/${name}\" KeyPath=\"yes\"/>\n"
    "            </Component>\n")
  string(APPEND TALLIX_MSI_SAMPLE_REFS "      <ComponentRef Id=\"${id}\"/>\n")
endforeach()
set(wxs ${PROJECT_BINARY_DIR}/packaging/tallix.wxs)
configure_file(${PROJECT_SOURCE_DIR}/packaging/tallix.wxs.in ${wxs} @ONLY)

set(TALLIX_MSI ${PROJECT_BINARY_DIR}/tallix-${PROJECT_VERSION}-x64.msi)
find_program(TALLIX_WIXL wixl)
find_program(TALLIX_MSIBUILD msibuild)
if(NOT TALLIX_WIXL OR NOT TALLIX_MSIBUILD)
  add_custom_target(msi COMMAND ${CMAKE_COMMAND} -E echo
                      "wixl and msibuild are needed for the MSI (scripts/deps.sh windows)"
                    COMMAND ${CMAKE_COMMAND} -E false VERBATIM)
  return()
endif()

tallix_sign_command(sign ${TALLIX_MSI})
if(sign)
  set(sign COMMAND ${sign})
endif()
# wixl takes each Source relative to the folder it runs in: the files are
# laid out afresh as they will be installed, and packed from there.
set(stage ${PROJECT_BINARY_DIR}/packaging/TALLIX)
add_custom_command(OUTPUT ${TALLIX_MSI}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/samples
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tallix> $<TARGET_FILE:tallix-check>
          ${TALLIX_SHIPPED_README} ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${samples} ${stage}/samples
  COMMAND ${TALLIX_WIXL} -a x64 -o ${TALLIX_MSI} ${wxs}
  # wixl drops IncludeMaximum: without it an installed TALLIX of this very
  # version (an earlier build of it) would stay beside the new one, a second
  # entry in Add/Remove Programs.
  # (768: minimum and maximum inclusive; the attributes are part of the
  # row's key, so the row is replaced rather than updated).
  # wixl leaves the programs' file versions out: without them Windows
  # Installer takes the two programs for unversioned files (Wine keeps one
  # of the same size); with them it compares them by version, as it does
  # every program it installs.
  COMMAND ${TALLIX_MSIBUILD} ${TALLIX_MSI}
          -q "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'TALLIX_OLDER_FOUND'"
          -q "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{${TALLIX_UPGRADE_CODE}}', '0.0.0', '${PROJECT_VERSION}', 768, 'TALLIX_OLDER_FOUND')"
          -q "UPDATE `File` SET `Version` = '${TALLIX_VERSION_QUAD}' WHERE `File` = 'tallix_exe' OR `File` = 'tallix_check_exe'"
  ${sign}
  DEPENDS ${wxs} tallix tallix-check ${TALLIX_SHIPPED_README} ${samples} ${TALLIX_SIGN_STAMP}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging
  COMMENT "Building the installer tallix-${PROJECT_VERSION}-x64.msi" VERBATIM)
add_custom_target(msi DEPENDS ${TALLIX_MSI})
