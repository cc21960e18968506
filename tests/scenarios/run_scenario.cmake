# Runs one scenario and compares its transcript with the expected one.
if(RUNNER)
  set(command ${RUNNER} ${HOST})
else()
  set(command ${HOST})
endif()
execute_process(
  COMMAND ${command} --panel ${PANEL} --script ${SCRIPT}
  OUTPUT_FILE ${ACTUAL}
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "host exited with ${status}:\n${errors}")
endif()
file(READ ${EXPECTED} expected_text)
file(READ ${ACTUAL} actual_text)
if(NOT expected_text STREQUAL actual_text)
  execute_process(COMMAND diff -u ${EXPECTED} ${ACTUAL})
  message(FATAL_ERROR "transcript differs from ${EXPECTED} (actual: ${ACTUAL})")
endif()
