# The Windows build's tests: the engine's platform-neutral test programs cross-compiled with Google
# Test from its Debian sources, run by CTest under Wine (the toolchain's emulator). Every Windows
# program goes into the saver's folder, beside the stand-in DevIL.dll and ILU.dll it loads.
set(QM_GTEST_SOURCE /usr/src/googletest CACHE PATH "Google Test sources for the cross build")
if(NOT EXISTS ${QM_GTEST_SOURCE}/CMakeLists.txt)
  message(STATUS "Google Test sources not found: the Windows tests are not built (scripts/setup win)")
  return()
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QM_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Folders whose tests run on Windows (desktop holds the tests of the Windows desktop itself). Left
# out: the files that test POSIX behaviour, and the decode counter, whose stand-in entry points are
# plain functions (DevIL's are stdcall on Windows; the decoding tests themselves run against the
# stand-in on Linux).
set(QM_WIN_TEST_DIRS anim base desktop devil elements geometry image material math package qmpack_host)
set(QM_WIN_SKIPPED_TESTS base/paths_test.cpp base/time_thread_test.cpp image/canvas_decode_test.cpp)

file(GLOB QM_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
list(FILTER QM_TEST_SUPPORT EXCLUDE REGEX "${QM_OTHER_PLATFORMS}")
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/support/test_support.cpp PROPERTIES
  COMPILE_DEFINITIONS "QM_TEST_OUTPUT_DIR=\"${PROJECT_BINARY_DIR}/test-output\";QM_TEST_DATA_DIR=\"${CMAKE_CURRENT_SOURCE_DIR}/data\"")

# The support code is compiled once and linked into every test program.
add_library(qm_test_support STATIC ${QM_TEST_SUPPORT})
target_include_directories(qm_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(qm_test_support PUBLIC fxengine gtest)

foreach(name ${QM_WIN_TEST_DIRS})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "${QM_OTHER_PLATFORMS}")
  foreach(skipped ${QM_WIN_SKIPPED_TESTS})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${skipped})
  endforeach()
  if(NOT sources)
    continue()
  endif()
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE qm_test_support fxengine gtest gtest_main)
  set_target_properties(test_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/saver)
  add_test(NAME windows.${name} COMMAND test_${name})
  set_tests_properties(windows.${name} PROPERTIES ENVIRONMENT "QM_TEST_OUTPUT_DIR=${PROJECT_BINARY_DIR}/test-output"
                       TIMEOUT 600)
  # The desktop tests photograph the screen; the base tests show message boxes on it.
  if(name STREQUAL "desktop" OR name STREQUAL "base")
    set_tests_properties(windows.${name} PROPERTIES RESOURCE_LOCK screen)
  endif()
endforeach()
