# Installing TALLIX: the program, its README and samples (component
# "program", what the ZIP for operators holds), and the register exchange
# library with its header and a CMake package (component "development").
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(WIN32)
  set(TALLIX_PROGRAM_DIR .)
  set(TALLIX_DOC_DIR .)
else()
  set(TALLIX_PROGRAM_DIR ${CMAKE_INSTALL_BINDIR})
  set(TALLIX_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()

include(${PROJECT_SOURCE_DIR}/cmake/TallixReadme.cmake)
install(TARGETS tallix RUNTIME DESTINATION ${TALLIX_PROGRAM_DIR} COMPONENT program)
install(FILES ${TALLIX_SHIPPED_README} DESTINATION ${TALLIX_DOC_DIR} COMPONENT program)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/ DESTINATION ${TALLIX_DOC_DIR}/samples
        COMPONENT program)

target_include_directories(tallix_exchange PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(tallix_exchange PROPERTIES EXPORT_NAME exchange)
set_target_properties(tallix_platform PROPERTIES EXPORT_NAME platform)
install(TARGETS tallix_exchange tallix_platform EXPORT TallixExchangeTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/exchange/exchange.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/exchange COMPONENT development)

set(TALLIX_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/TallixExchange)
install(EXPORT TallixExchangeTargets NAMESPACE Tallix:: DESTINATION ${TALLIX_PACKAGE_DIR}
        COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TallixExchangeConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TallixExchangeConfig.cmake INSTALL_DESTINATION ${TALLIX_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TallixExchangeConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TallixExchangeConfig.cmake
              ${PROJECT_BINARY_DIR}/TallixExchangeConfigVersion.cmake
        DESTINATION ${TALLIX_PACKAGE_DIR} COMPONENT development)

# The operators' ZIP: tallix.exe, tallix-check.exe, the README and the
# samples, with no folder around them, so that extracting it into
# C:\VORNAX\TALLIX gives C:\VORNAX\TALLIX\tallix.exe, at every version.
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_NAME tallix)
set(CPACK_PACKAGE_VENDOR VORNAX)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
endif()
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};TALLIX;program;/")
include(CPack)
