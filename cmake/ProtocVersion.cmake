# The generated message classes must come from the protoc of the protobuf library they are
# compiled against: another version's code does not compile, or fails its version check at load.

# Sets <result> to TRUE when `protoc --version` printed <output> for the C++ library
# <libraryVersion>. Up to 3.21 protoc prints the library's version ("libprotoc 3.21.12"); from 22
# on it prints the release ("libprotoc 25.1") while the C++ library is 4.25.1.
function(mocap_protoc_matches output libraryVersion result)
  set(matches FALSE)
  if(output MATCHES "libprotoc ([0-9]+(\\.[0-9]+)+)")
    set(protoc ${CMAKE_MATCH_1})
    string(REGEX REPLACE "^[0-9]+\\.(.*)$" "\\1" release "${libraryVersion}")
    if(protoc VERSION_EQUAL libraryVersion OR
       (libraryVersion VERSION_GREATER_EQUAL 4 AND protoc VERSION_EQUAL release))
      set(matches TRUE)
    endif()
  endif()
  set(${result} ${matches} PARENT_SCOPE)
endfunction()

# Stops the configure unless the protoc at <protoc> matches the library <libraryVersion>.
function(mocap_check_protoc protoc libraryVersion)
  execute_process(COMMAND ${protoc} --version RESULT_VARIABLE status OUTPUT_VARIABLE output
                  ERROR_VARIABLE output OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Cannot run ${protoc} --version (${status}): ${output}")
  endif()
  mocap_protoc_matches("${output}" "${libraryVersion}" matches)
  if(NOT matches)
    message(FATAL_ERROR "${protoc} is \"${output}\" but the protobuf library found is "
                        "${libraryVersion}: the generated code must come from the library's own "
                        "protoc. Install matching versions or point CMAKE_PREFIX_PATH (or "
                        "Protobuf_PROTOC_EXECUTABLE) at the protoc of the library.")
  endif()
endfunction()
