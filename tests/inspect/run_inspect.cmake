# Runs corvelain_host inspect (through RUNNER, if given) with ARGS (a ;-list) and checks its exit
# status and that its output (standard output and error together) matches
# EXPECT. Exits 77 (skipped) when NEEDS, a file the run reads, is absent.
if(DEFINED NEEDS AND NOT EXISTS "${NEEDS}")
  message("skipped: ${NEEDS} is not built")
  cmake_language(EXIT 77)
endif()
execute_process(COMMAND ${RUNNER} ${HOST} inspect ${ARGS}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(APPEND out "${err}")
if(NOT status STREQUAL EXPECT_STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_STATUS}:\n${out}")
endif()
if(NOT out MATCHES "${EXPECT}")
  message(FATAL_ERROR "output does not match '${EXPECT}':\n${out}")
endif()
