# Shared settings for the project's own targets.

option(MORVAN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(MORVAN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# Warnings are errors on everything we write. g++ 12 at -O3 reports -Wrestrict on
# ordinary std::string concatenation (a known false positive inside libstdc++), so
# that one stays a warning.
function(morvan_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-error=restrict)
  endif()
endfunction()

# The system's own code (installer, converter) holds its text as code page 932:
# literals are compiled to Shift-JIS bytes, and a length is a byte count.
function(morvan_system_target target)
  morvan_strict(${target})
  target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=CP932)
endfunction()

# A GoogleTest executable registered with CTest, one test per TEST().
function(morvan_gtest target)
  cmake_parse_arguments(ARG "SYSTEM" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  if(ARG_SYSTEM)
    morvan_system_target(${target})
  else()
    morvan_strict(${target})
  endif()
  include(GoogleTest)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "MORVAN_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
endfunction()

# A library of the product's Windows side: a host shared object whose file and soname
# are its Windows name (NAME.DLL), so a program finds it in its own folder (RPATH
# $ORIGIN) as a Windows program finds a DLL, and LoadLibraryA finds it by that name.
function(morvan_windows_library target windows_name)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${windows_name} PREFIX "" SUFFIX ".DLL" NO_SONAME OFF
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  target_link_options(${target} PRIVATE "-Wl,-soname,${windows_name}.DLL")
endfunction()

# A closed library of the product (Fennoc, Gristo, Lutwin, Pelmar, Quillon): NAME.DLL
# built from SOURCES, its contract header folder include/ public, the platform layer and
# LIBS linked in statically and kept private (--exclude-libs), as a DLL keeps its own
# runtime, so a program that links it sees only its exports. HIDDEN keeps every symbol
# the sources do not mark for export out of the library's table.
function(morvan_product_library target windows_name)
  cmake_parse_arguments(ARG "HIDDEN" "" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  morvan_windows_library(${target} ${windows_name})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} platform)
  target_link_options(${target} PRIVATE "-Wl,--exclude-libs,ALL")
  if(ARG_HIDDEN)
    set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON)
  endif()
  morvan_system_target(${target})
endfunction()
