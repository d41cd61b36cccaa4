# Runs one regression script through the varnok program and compares what it
# prints with the expected output stored beside it.
#
#   cmake -DVARNOK=<program> -DSCRIPT=<file> -DOPTIONS="<options>" -DWORKDIR=<dir> -P run_regress.cmake
#
# A script is one run, or several independent runs separated by lines "; ---"
# (each run is its own input: its lines count from 1, the line end before a
# separator belongs to the separator). Every run starts in the scratch
# directory WORKDIR and may take at most 120 seconds.
#
# The expected output is <file>.expected: for every run its standard output,
# then "standard error:" and what the run wrote there if that is not empty,
# then a line "exit status N" if the status is not 0; the runs separated by
# "; ---" lines as in the script.
#
# The bounded model checker (.hys scripts) prints the wall-clock time of each
# step as "(<seconds>s)"; in its standard output every such time is replaced
# by "(…s)" before the comparison.
#
# A run with a line "; arguments: A B ..." ("-- arguments: ..." in a .hys
# file) runs the program with exactly these arguments instead of the options
# and the file name; an argument <NAME> stands for the run's text saved as the
# file NAME in the scratch directory; without one, the text is the standard
# input. A script whose first line is "-- keep: REGEX" compares only the lines
# of standard output that start with a match of REGEX (for output, such as
# models, that may differ between solver configurations).
cmake_minimum_required(VERSION 3.18)
separate_arguments(OPTIONS UNIX_COMMAND "${OPTIONS}")
get_filename_component(dir ${SCRIPT} DIRECTORY)
get_filename_component(name ${SCRIPT} NAME_WE)
get_filename_component(extension ${SCRIPT} EXT)
set(expected_file ${dir}/${name}.expected)
if(NOT EXISTS ${expected_file})
  message(FATAL_ERROR "missing expected output ${expected_file}")
endif()
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})

set(separator "\n; ---\n")
string(LENGTH "${separator}" separator_length)
file(READ ${SCRIPT} rest)
set(keep "")
if(rest MATCHES "^(;|--) keep: ([^\n]*)")
  set(keep "${CMAKE_MATCH_2}")
endif()
set(transcript "")
set(run 0)
while(TRUE)
  string(FIND "${rest}" "${separator}" at)
  if(at EQUAL -1)
    set(input "${rest}")
  else()
    string(SUBSTRING "${rest}" 0 ${at} input)
    math(EXPR next "${at} + ${separator_length}")
    string(SUBSTRING "${rest}" ${next} -1 rest)
  endif()
  set(input_file ${WORKDIR}/run${run}${extension})
  file(WRITE ${input_file} "${input}")
  set(command ${OPTIONS} ${input_file})
  set(standard_input /dev/null)
  if(input MATCHES "(^|\n)(;|--) arguments:([^\n]*)")
    separate_arguments(arguments UNIX_COMMAND "${CMAKE_MATCH_3}")
    set(command "")
    set(standard_input ${input_file})
    foreach(argument IN LISTS arguments)
      if(argument MATCHES "^<(.+)>$")
        set(argument ${CMAKE_MATCH_1})
        file(WRITE ${WORKDIR}/${argument} "${input}")
        set(standard_input /dev/null)
      endif()
      list(APPEND command "${argument}")
    endforeach()
  endif()
  execute_process(COMMAND ${VARNOK} ${command}
    WORKING_DIRECTORY ${WORKDIR} INPUT_FILE ${standard_input}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status TIMEOUT 120)
  if(NOT keep STREQUAL "")
    string(REPLACE ";" "<semicolon>" out "\n${out}")
    string(REGEX MATCHALL "\n(${keep})[^\n]*" kept "${out}")
    string(REPLACE ";" "" out "${kept}")
    string(REGEX REPLACE "^\n" "" out "${out}")
    if(NOT out STREQUAL "")
      string(APPEND out "\n")
    endif()
    string(REPLACE "<semicolon>" ";" out "${out}")
  endif()
  if(run GREATER 0)
    string(APPEND transcript "; ---\n")
  endif()
  if(extension STREQUAL ".hys")
    string(REGEX REPLACE "\\([0-9.e+-]+s\\)" "(…s)" out "${out}")
  endif()
  string(APPEND transcript "${out}")
  if(NOT err STREQUAL "")
    string(APPEND transcript "standard error:\n${err}")
  endif()
  if(NOT status EQUAL 0)
    string(APPEND transcript "exit status ${status}\n")
  endif()
  math(EXPR run "${run} + 1")
  if(at EQUAL -1)
    break()
  endif()
endwhile()

file(READ ${expected_file} expected)
if(NOT transcript STREQUAL expected)
  message(FATAL_ERROR "${SCRIPT} with options '${OPTIONS}':\n--- expected\n${expected}--- got\n${transcript}---")
endif()
