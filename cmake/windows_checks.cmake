# A check of the Windows build that runs a Windows program does so through
# scripts/wine-run.sh (or scripts/wine-env.sh), which runs nothing and prints
# a line starting "SKIPPED: " where this machine cannot run 32-bit programs;
# ctest then counts the check as skipped, not failed. Checks that run no
# Windows program never print that line, so marking every check of a folder
# is safe.
function(skip_checks_where_wine_cannot_run)
  get_property(checks DIRECTORY PROPERTY TESTS)
  if(checks)
    set_tests_properties(${checks} PROPERTIES
      SKIP_REGULAR_EXPRESSION "SKIPPED: ")
  endif()
endfunction()
