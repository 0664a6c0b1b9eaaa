# cmake -DWRAPPER=<cmake/run-in-own-tmpdir.sh> -P tst_ownedtmpdirstatus.cmake
# The wrapper hands on its program's status: a death by a signal that ends a process as the same death,
# any other status as it is, even one above 128 whose signal would stop or not end the wrapper.
set(cases
  "exit 147|147"                                    # 128 + SIGSTOP
  "exit 162|162"                                    # 128 + a real-time signal
  "ulimit -c 0 && kill -s SEGV $$|Segmentation fault" # what execute_process says of a death by SIGSEGV
)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 script)
  list(GET case 1 expected)
  execute_process(COMMAND "${WRAPPER}" sh -c "${script}" RESULT_VARIABLE result TIMEOUT 20)
  if(NOT result STREQUAL expected)
    message(SEND_ERROR "sh -c '${script}' through the wrapper: expected \"${expected}\", got \"${result}\"")
  endif()
endforeach()
