# Runs refhost.exe once under the emulator and judges the run: its exit
# status, what it printed, which files it left, and the order of entries in
# its JSON Lines trace. Lists are passed with '|' between items.
#   EMULATOR, EXE, ARGS      the command (unix paths in ARGS starting with '/'
#                            are handed to the program as Z: paths)
#   OUT                      a fresh output folder (passed as --out)
#   EXPECT_EXIT              the exit status wanted
#   EXPECT_OUTPUT            regular expressions the output must match
#   EXPECT_FILES / ABSENT_FILES   files (relative to OUT) that must / must not exist
#   TRACE_ORDER              texts that trace.jsonl must hold, in this order
foreach(var EMULATOR EXE ARGS EXPECT_OUTPUT EXPECT_FILES ABSENT_FILES TRACE_ORDER)
  if(DEFINED ${var})
    string(REPLACE "|" ";" ${var} "${${var}}")
  endif()
endforeach()

set(args)
foreach(a IN LISTS ARGS)
  if(a MATCHES "^/")
    set(a "Z:${a}")
  endif()
  list(APPEND args "${a}")
endforeach()

file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND ${EMULATOR} ${EXE} --out "Z:${OUT}" ${args}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                TIMEOUT 300)
set(all "${out}${err}")
message("${all}")

set(problems)
if(NOT "${status}" STREQUAL "${EXPECT_EXIT}")
  list(APPEND problems "exit status ${status}, wanted ${EXPECT_EXIT}")
endif()
foreach(pattern IN LISTS EXPECT_OUTPUT)
  if(NOT all MATCHES "${pattern}")
    list(APPEND problems "the output does not match '${pattern}'")
  endif()
endforeach()
foreach(f IN LISTS EXPECT_FILES)
  if(NOT EXISTS "${OUT}/${f}")
    list(APPEND problems "${f} was not written")
  endif()
endforeach()
foreach(f IN LISTS ABSENT_FILES)
  if(EXISTS "${OUT}/${f}")
    list(APPEND problems "${f} was written although nothing should have run")
  endif()
endforeach()
if(TRACE_ORDER)
  if(NOT EXISTS "${OUT}/trace.jsonl")
    list(APPEND problems "no trace.jsonl")
  else()
    file(READ "${OUT}/trace.jsonl" trace)
    foreach(item IN LISTS TRACE_ORDER)
      string(FIND "${trace}" "${item}" at)
      if(at EQUAL -1)
        list(APPEND problems "trace.jsonl lacks '${item}' after the items before it")
        break()
      endif()
      string(LENGTH "${item}" n)
      math(EXPR at "${at} + ${n}")
      string(SUBSTRING "${trace}" ${at} -1 trace)
    endforeach()
  endif()
endif()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "refhost run judged wrong:\n  ${text}")
endif()
