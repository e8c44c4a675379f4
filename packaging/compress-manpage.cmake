# Compresses one manual page as Debian ships them: cmake -DGZIP=... -DINPUT=page.1 -DOUTPUT=page.1.gz -P this.
execute_process(COMMAND "${GZIP}" -9nc "${INPUT}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "gzip failed on ${INPUT}: ${status}")
endif()
