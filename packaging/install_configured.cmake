# install_configured.cmake -- run by `cmake --install` (and cpack): writes the menu entry and the manual page
# (cave-demo's, and the three tools') for the install prefix in force, and the package's changelog, and
# installs them.
set(prefix "${CMAKE_INSTALL_PREFIX}")
set(CAVE_INSTALL_DATA_DIR "${prefix}/${CAVE_DATA_SUBDIR}")
file(MAKE_DIRECTORY "${CAVE_WORK_DIR}")
configure_file("${CAVE_SOURCE_DIR}/cave-demo.desktop.in" "${CAVE_WORK_DIR}/cave-demo.desktop" @ONLY)
configure_file("${CAVE_SOURCE_DIR}/cave-demo.6.in" "${CAVE_WORK_DIR}/cave-demo.6" @ONLY)
foreach(tool cave-gen cave-xdump cave-tracecheck)
  configure_file("${CAVE_SOURCE_DIR}/${tool}.1.in" "${CAVE_WORK_DIR}/${tool}.1" @ONLY)
endforeach()
configure_file("${CAVE_SOURCE_DIR}/changelog.in" "${CAVE_WORK_DIR}/changelog" @ONLY)
# Manual pages and changelogs go compressed, with no name or time stamp in the gzip header.
foreach(name cave-demo.6 cave-gen.1 cave-xdump.1 cave-tracecheck.1 changelog)
  execute_process(COMMAND gzip -9nf "${name}" WORKING_DIRECTORY "${CAVE_WORK_DIR}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${name}")
  endif()
endforeach()
file(INSTALL "${CAVE_WORK_DIR}/cave-demo.desktop" DESTINATION "${prefix}/${CAVE_APPLICATIONS_SUBDIR}")
file(INSTALL "${CAVE_WORK_DIR}/cave-demo.6.gz" DESTINATION "${prefix}/${CAVE_MAN_SUBDIR}/man6")
file(INSTALL "${CAVE_WORK_DIR}/cave-gen.1.gz" "${CAVE_WORK_DIR}/cave-xdump.1.gz" "${CAVE_WORK_DIR}/cave-tracecheck.1.gz"
     DESTINATION "${prefix}/${CAVE_MAN_SUBDIR}/man1")
file(INSTALL "${CAVE_WORK_DIR}/changelog.gz" DESTINATION "${prefix}/${CAVE_DOC_SUBDIR}")
