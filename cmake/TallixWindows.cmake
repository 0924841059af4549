# What makes tallix.exe and tallix-check.exe proper Windows programs:
# version information and manifest as resources, and a self-contained
# executable (with MinGW the C++ and GCC runtimes are linked in, so nothing
# but system DLLs sits beside it). Each program's own file calls these.
set(TALLIX_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")

# The version resources and the manifest of `target`, whose file is
# <name>.exe: each program has its own names, description and assembly
# identity (VORNAX.TALLIX, VORNAX.TALLIX-CHECK); the checker gets its own
# when check/ adds it.
function(tallix_version_resource target name description)
  set(TALLIX_RC_NAME ${name})
  set(TALLIX_RC_DESCRIPTION ${description})
  string(TOUPPER "VORNAX.${name}" TALLIX_MANIFEST_IDENTITY)
  set(TALLIX_MANIFEST_FILE "${PROJECT_BINARY_DIR}/platform/${name}.manifest")
  configure_file(${PROJECT_SOURCE_DIR}/platform/tallix.manifest ${TALLIX_MANIFEST_FILE} @ONLY)
  set(rc ${PROJECT_BINARY_DIR}/platform/${name}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/platform/tallix.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${TALLIX_MANIFEST_FILE})
endfunction()

# A self-contained Windows program: the C++ and GCC runtimes linked in.
function(tallix_link_self_contained target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
endfunction()
