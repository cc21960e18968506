# Runs the host on a panel and script in a fresh folder OUT (where the
# script's pictures land; --pictures writes to OUT/end) and checks its exit
# status, its standard error, its transcript against EXPECTED and that the
# PICTURES were written. With a REFERENCE folder (the other build's OUT),
# every picture must equal the one there byte for byte.
set(command ${HOST})
if(RUNNER)
  set(command ${RUNNER} ${HOST})
endif()
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(
  COMMAND ${command} --panel ${PANEL} --script ${SCRIPT} --pictures end
  WORKING_DIRECTORY ${OUT}
  OUTPUT_FILE ${OUT}/transcript
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
# The runner ran nothing: this machine cannot run the Windows host.
if(RUNNER AND status EQUAL 77)
  message(NOTICE "${errors}")
  return()
endif()
if(NOT status STREQUAL EXPECT_STATUS)
  message(FATAL_ERROR
    "host exited with ${status}, expected ${EXPECT_STATUS}:\n${errors}")
endif()
if(EXPECT_ERROR AND NOT errors MATCHES "${EXPECT_ERROR}")
  message(FATAL_ERROR "standard error does not say '${EXPECT_ERROR}':\n${errors}")
endif()
if(EXPECTED)
  file(READ ${EXPECTED} expected_text)
  file(READ ${OUT}/transcript actual_text)
  if(NOT expected_text STREQUAL actual_text)
    execute_process(COMMAND diff -u ${EXPECTED} ${OUT}/transcript)
    message(FATAL_ERROR "transcript differs from ${EXPECTED}")
  endif()
endif()
foreach(picture ${PICTURES})
  if(NOT EXISTS ${OUT}/${picture})
    message(FATAL_ERROR "${picture} was not written")
  endif()
  file(READ ${OUT}/${picture} signature LIMIT 8 HEX)
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "${picture} is not a PNG file")
  endif()
  if(REFERENCE)
    if(NOT EXISTS ${REFERENCE}/${picture})
      message(FATAL_ERROR "no ${REFERENCE}/${picture} to compare with: "
        "run the other build's test first")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
      ${OUT}/${picture} ${REFERENCE}/${picture} RESULT_VARIABLE differs)
    if(differs)
      message(FATAL_ERROR "${picture} differs from ${REFERENCE}/${picture}")
    endif()
  endif()
endforeach()
