# windows_dependencies.cmake -- GoogleTest, CLI11 and stb for the Windows cross build, from the host's
# Debian packages without the host's system headers.
#
# The host's /usr/include holds glibc's headers beside CLI11's; putting it on the include path of a
# MinGW-w64 build would mix them with MinGW's own C library. So only the libraries' own folders come in:
# CLI11's headers are copied into the build tree and included from there as a system folder, stb's folder
# (/usr/include/stb, nothing else in it) is named directly, and GoogleTest is compiled from Debian's
# sources (/usr/src/googletest) with the cross compiler.

# CLI11 (libcli11-dev): header only.
set(CAVE_CLI11_SOURCE /usr/include/CLI)
if(NOT EXISTS ${CAVE_CLI11_SOURCE}/CLI.hpp)
  message(FATAL_ERROR "CLI11 not found in ${CAVE_CLI11_SOURCE} (Debian's libcli11-dev)")
endif()
set(CAVE_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third_party/include)
file(COPY ${CAVE_CLI11_SOURCE} DESTINATION ${CAVE_THIRD_PARTY_INCLUDE})
add_library(cave_cli11 INTERFACE)
target_include_directories(cave_cli11 SYSTEM INTERFACE ${CAVE_THIRD_PARTY_INCLUDE})
add_library(CLI11::CLI11 ALIAS cave_cli11)

# stb (libstb-dev): stb_image for the bitmap decoder, stb_image_write for screenshots.
set(CAVE_STB_INCLUDE_DIR /usr/include/stb CACHE PATH "Folder of stb_image.h and stb_image_write.h")
if(NOT EXISTS ${CAVE_STB_INCLUDE_DIR}/stb_image.h OR NOT EXISTS ${CAVE_STB_INCLUDE_DIR}/stb_image_write.h)
  message(FATAL_ERROR "stb not found in ${CAVE_STB_INCLUDE_DIR} (Debian's libstb-dev)")
endif()

# GoogleTest (libgtest-dev ships its sources): built with the cross compiler, gtest and gtest_main only.
if(CAVE_BUILD_TESTS)
  set(CAVE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian's libgtest-dev)")
  if(NOT EXISTS ${CAVE_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources not found in ${CAVE_GTEST_SOURCE} (Debian's libgtest-dev)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${CAVE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Its own code, its own warnings: ours are not applied to it as errors.
  foreach(target gtest gtest_main)
    target_compile_options(${target} PRIVATE -Wno-error)
  endforeach()
  # GoogleTest's own project defines GTest::gtest and GTest::gtest_main as the names to link.
endif()
