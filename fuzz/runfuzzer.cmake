# Runs one libFuzzer binary for SECONDS on a scratch copy of its seeds.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${SEEDS}/ DESTINATION ${WORK})
execute_process(
    COMMAND ${FUZZER} -max_total_time=${SECONDS} -print_final_stats=1 ${WORK}
    RESULT_VARIABLE rc
    OUTPUT_VARIABLE out
    ERROR_VARIABLE out)
string(REGEX MATCH "stat::number_of_executed_units: *[0-9]+" runs "${out}")
message("${runs}")
if(NOT rc EQUAL 0)
    message("${out}")
    message(FATAL_ERROR "fuzzer failed (exit ${rc})")
endif()
