# compare_assets.cmake -- runs cave-gen into a fresh directory and compares every file with assets/
#   cmake [-DEMULATOR=<wine>] -DGENERATOR=<cave-gen> -DOUTPUT=<dir> -DEXPECTED=<assets dir> -P compare_assets.cmake
file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
execute_process(COMMAND ${EMULATOR} ${GENERATOR} ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cave-gen failed: ${result}")
endif()
foreach(name cave.x check.bmp block.bmp map.bmp)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT}/${name} ${EXPECTED}/${name}
                  RESULT_VARIABLE different)
  if(different)
    message(FATAL_ERROR "${name} differs from assets/${name}: run cave-gen assets and commit the files")
  endif()
endforeach()
