# The unit tables in plain C++ that every test program runs: the native one
# and the Windows one, built by the shipped toolchain. With the portable
# test helpers; each program adds its own platform's tables and its own
# failing file.
set(TALLIX_PLAIN_TABLES
  ${PROJECT_SOURCE_DIR}/exchange/number_test.cpp
  ${PROJECT_SOURCE_DIR}/exchange/text_mode_test.cpp
  ${PROJECT_SOURCE_DIR}/exchange/dose_test.cpp
  ${PROJECT_SOURCE_DIR}/platform/profile_test.cpp
  ${PROJECT_SOURCE_DIR}/lookup/search_test.cpp
  ${PROJECT_SOURCE_DIR}/lookup/search_diff_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/test_support.cpp)
