# What every program of the project shares on its command line (CONTRIBUTING.md,
# "Command lines"): the version it prints, and the test that checks --help,
# --version and a bad option.

# qz_version.h: QZ_VERSION and QZ_PACKAGE_NAME from project(... VERSION ...).
configure_file(${CMAKE_CURRENT_LIST_DIR}/qz_version.h.in
               ${PROJECT_BINARY_DIR}/generated/qz_version.h @ONLY)
add_library(qz_version INTERFACE)
target_include_directories(qz_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

# qz_add_command_line_test(TARGET)
# Checks that the program answers --help and --version on standard output with
# status 0, without a display, and a bad option with one line and status 2.
function(qz_add_command_line_test target)
  add_test(NAME ${target}_command_line
    COMMAND bash ${PROJECT_SOURCE_DIR}/testsupport/check_command_line.sh
            $<TARGET_FILE:${target}> ${PROJECT_NAME} ${PROJECT_VERSION})
  set_tests_properties(${target}_command_line PROPERTIES
    ENVIRONMENT "${QZ_TEST_ENVIRONMENT}" TIMEOUT 30 LABELS command_line)
endfunction()
