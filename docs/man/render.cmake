# Renders one manual page: scdoc from SOURCE, then gzip -9n (no name or time
# stamp in the archive) into OUTPUT. Run with cmake -P.
set(roff ${OUTPUT}.roff)
set(ENV{SOURCE_DATE_EPOCH} ${DATE_EPOCH})
execute_process(COMMAND ${SCDOC} INPUT_FILE ${SOURCE} OUTPUT_FILE ${roff}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "scdoc failed on ${SOURCE}")
endif()
execute_process(COMMAND ${GZIP} -9 -n -c ${roff} OUTPUT_FILE ${OUTPUT}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${roff}")
endif()
file(REMOVE ${roff})
