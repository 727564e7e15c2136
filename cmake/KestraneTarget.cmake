# Settings every target of our own gets: warnings (errors in the dev build), the Qt
# hygiene macros, and the repository root as the include base so includes read
# "QuorixProtocol/Models.h".
function(kestrane_target_defaults target)
  # The fuzz build uses clang, which has no -Wshadow=local.
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
                                           $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
                                           -Wnon-virtual-dtor -Wno-missing-field-initializers)
  if(KESTRANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII
                                               QT_NO_URL_CAST_FROM_STRING
                                               QT_NO_CAST_FROM_BYTEARRAY)
endfunction()

# A library made of every source file below its folder, so adding a file needs no
# edit here. `EXCLUDE` names sub-folders that belong to another target.
function(kestrane_module_library target)
  cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${CMAKE_CURRENT_SOURCE_DIR}/${excluded}/")
  endforeach()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
  kestrane_target_defaults(${target})
endfunction()
