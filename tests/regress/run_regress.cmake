# Runs one regression script through the varnok program and compares what it
# prints with the expected output stored beside it.
#
#   cmake -DVARNOK=<program> -DSCRIPT=<file.smt2> -DOPTIONS=<;-list> -P run_regress.cmake
#
# The expected output is <file>.expected: the program's standard output,
# followed by a line "exit status N" when the program ends with a status other
# than 0. A run longer than 120 seconds fails.
get_filename_component(dir ${SCRIPT} DIRECTORY)
get_filename_component(name ${SCRIPT} NAME_WE)
set(expected_file ${dir}/${name}.expected)
if(NOT EXISTS ${expected_file})
  message(FATAL_ERROR "missing expected output ${expected_file}")
endif()
execute_process(COMMAND ${VARNOK} ${OPTIONS} ${SCRIPT}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status TIMEOUT 120)
if(NOT status EQUAL 0)
  string(APPEND out "exit status ${status}\n")
endif()
file(READ ${expected_file} expected)
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "${SCRIPT} with options '${OPTIONS}':\n--- expected\n${expected}--- got\n${out}--- standard error\n${err}")
endif()
