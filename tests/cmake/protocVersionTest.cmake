# protoc's version against the library's, in both numbering schemes:
#   cmake -DSOURCE=<source tree> -P protocVersionTest.cmake
cmake_policy(VERSION 3.18)
include(${SOURCE}/cmake/ProtocVersion.cmake)

set(failures "")
foreach(case
    "libprotoc 3.21.12|3.21.12|TRUE"
    "libprotoc 3.21.12|3.21.11|FALSE"
    "libprotoc 3.20.3|3.21.12|FALSE"
    "libprotoc 25.1|4.25.1|TRUE"
    "libprotoc 29.3|5.29.3|TRUE"
    "libprotoc 25.1|4.25.2|FALSE"
    "libprotoc 24.4|4.25.1|FALSE"
    "libprotoc 21.12|3.21.12|FALSE"
    "protoc: command not found|3.21.12|FALSE"
    "|3.21.12|FALSE")
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 output)
  list(GET fields 1 library)
  list(GET fields 2 expected)
  mocap_protoc_matches("${output}" "${library}" matches)
  if(NOT matches STREQUAL expected)
    string(APPEND failures "\n  \"${output}\" against ${library}: ${matches}, expected ${expected}")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "protoc versions judged wrongly:${failures}")
endif()
