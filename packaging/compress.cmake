# Compresses one file as Debian ships manual pages and changelogs: cmake -DGZIP=... -DINPUT=f -DOUTPUT=f.gz -P this.
execute_process(COMMAND "${GZIP}" -9nc "${INPUT}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "gzip failed on ${INPUT}: ${status}")
endif()
