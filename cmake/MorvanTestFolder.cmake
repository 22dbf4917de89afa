# One GoogleTest executable per *_test.cpp file of the calling folder, so a test file
# builds and runs on its own. Programs the tests start (DEPENDS) are built first.
# Usage: morvan_test_folder(<prefix> LIBS <libraries> [DEPENDS <targets>])
function(morvan_test_folder prefix)
  cmake_parse_arguments(ARG "" "" "LIBS;DEPENDS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(test_file ${tests})
    get_filename_component(stem ${test_file} NAME_WE)
    morvan_gtest(${prefix}_${stem} SYSTEM SOURCES ${test_file} LIBS ${ARG_LIBS})
    if(ARG_DEPENDS)
      add_dependencies(${prefix}_${stem} ${ARG_DEPENDS})
    endif()
  endforeach()
endfunction()
