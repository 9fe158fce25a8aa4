# Runs the fuzz target for a few seconds from the seed bodies: cmake -DFUZZER=... -DCORPUS=...
# -DSEEDS=... -P run_fuzzer.cmake. Fails when the target finds a crash.
file(REMOVE_RECURSE ${CORPUS})
file(MAKE_DIRECTORY ${CORPUS})
file(GLOB seeds ${SEEDS}/*.body)
file(COPY ${seeds} DESTINATION ${CORPUS})
execute_process(
  COMMAND ${FUZZER} -max_total_time=5 -seed=1 -max_len=4096 -print_final_stats=1 ${CORPUS}
  WORKING_DIRECTORY ${CORPUS}/..
  RESULT_VARIABLE result)
if(NOT DEFINED NAME)
  set(NAME "the multipart parser's")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NAME} fuzz target failed (${result})")
endif()
