# gallery_program.cmake -- cave-gen --gallery writes the gallery's four files (and nothing else) into a
# fresh directory, and fails on a directory that does not exist
#   cmake [-DEMULATOR=<wine>] -DGENERATOR=<cave-gen> -DOUTPUT=<dir> -P gallery_program.cmake
file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
execute_process(COMMAND ${EMULATOR} ${GENERATOR} --gallery ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cave-gen --gallery failed: ${result}")
endif()
file(GLOB written RELATIVE ${OUTPUT} ${OUTPUT}/*)
list(SORT written)
if(NOT written STREQUAL "bowl.x;gallery.json;steps.x;tube.x")
  message(FATAL_ERROR "cave-gen --gallery wrote: ${written}")
endif()
execute_process(COMMAND ${EMULATOR} ${GENERATOR} --gallery ${OUTPUT}/missing RESULT_VARIABLE result ERROR_QUIET)
if(result EQUAL 0)
  message(FATAL_ERROR "cave-gen --gallery succeeded on a missing directory")
endif()
