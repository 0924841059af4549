# What makes tallix.exe a proper Windows program: version information and
# manifest as resources, and a self-contained executable (with MinGW the C++
# and GCC runtimes are linked in, so nothing but system DLLs sits beside it).
set(TALLIX_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
set(TALLIX_MANIFEST_FILE "${PROJECT_BINARY_DIR}/platform/tallix.manifest")
configure_file(${PROJECT_SOURCE_DIR}/platform/tallix.manifest ${TALLIX_MANIFEST_FILE} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/platform/tallix.rc.in
               ${PROJECT_BINARY_DIR}/platform/tallix.rc @ONLY)
target_sources(tallix PRIVATE ${PROJECT_BINARY_DIR}/platform/tallix.rc)
set_property(SOURCE ${PROJECT_BINARY_DIR}/platform/tallix.rc APPEND PROPERTY
             OBJECT_DEPENDS ${TALLIX_MANIFEST_FILE})

target_link_options(tallix PRIVATE -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
