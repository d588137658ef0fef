# Builds each probe (PROBES: "target:refused" or "target:compiles", comma-separated) in
# BUILD_DIR and checks the outcome. A refusal counts only when the compiler names the
# probe's own include as missing, and only while that header exists under HEADER_ROOT:
# a probe whose header was renamed away would otherwise pass without checking anything.
string(REPLACE "," ";" probes "${PROBES}")
set(failures 0)
foreach(entry ${probes})
    string(REPLACE ":" ";" entry "${entry}")
    list(GET entry 0 probe)
    list(GET entry 1 outcome)

    file(STRINGS ${PROBE_DIR}/${probe}.cpp include_line REGEX "^#include \"[^\"]+\"")
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${include_line}")
    if(NOT header OR NOT EXISTS ${HEADER_ROOT}/${header})
        message("${probe}: FAILED: includes \"${header}\", which is not a header under src/")
        math(EXPR failures "${failures} + 1")
        continue()
    endif()

    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j 2 --target ${probe}
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    string(REPLACE "." "\\." header_pattern "${header}")
    # GCC: "x.h: No such file or directory"; clang: "'x.h' file not found".
    string(REGEX MATCH "${header_pattern}(: No such file or directory|' file not found)"
        missing "${output}")

    if(outcome STREQUAL "refused" AND NOT status EQUAL 0 AND missing)
        message("${probe}: refused as it must be (${missing})")
    elseif(outcome STREQUAL "compiles" AND status EQUAL 0)
        message("${probe}: compiles as it must")
    else()
        message("${probe}: FAILED (expected: ${outcome}); the build said:\n${output}")
        math(EXPR failures "${failures} + 1")
    endif()
endforeach()

if(failures GREATER 0)
    message(FATAL_ERROR "${failures} probe(s) of the folder rules failed")
endif()
