# Installs the host build into PREFIX and fails unless the install is refused with the way to a
# build for Maya, leaving no module behind.
#   cmake -DBUILD=<host build> -DPREFIX=<empty folder> -P hostInstallRefused.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "the host build installed:\n${output}")
endif()
if(NOT output MATCHES "-DMAYA_LOCATION=<Maya 2022 devkit root>")
  message(FATAL_ERROR "the refusal does not say how to build for Maya:\n${output}")
endif()
file(GLOB_RECURSE installed ${PREFIX}/*)
if(installed)
  message(FATAL_ERROR "the refused install left files: ${installed}")
endif()
