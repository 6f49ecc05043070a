# Compile options shared by every target of our own code.
function(tumbla_configure target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
                         -Wno-missing-field-initializers)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 at -O3 reports overlapping copies inside std::string's own operator+ that
    # cannot happen (a known false positive of that release).
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(TUMBLA_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                           -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(TUMBLA_SANITIZE_THREAD)
    target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=thread)
  endif()
endfunction()

# A library made of every source in one folder (and in the extra folders named, for a layer
# that keeps details in a subfolder), so that adding a file needs no edit of the build.
# Usage: tumbla_folder_library(target folder [EXTRA_FOLDERS folder...] [DEPENDS lib...])
function(tumbla_folder_library target folder)
  cmake_parse_arguments(ARG "" "" "DEPENDS;EXTRA_FOLDERS" ${ARGN})
  set(globs ${folder}/*.cpp)
  foreach(extra ${ARG_EXTRA_FOLDERS})
    list(APPEND globs ${extra}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  if(NOT sources)
    # A layer that has only headers so far.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${ARG_DEPENDS})
    return()
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
  tumbla_configure(${target})
  if(TUMBLA_SANITIZE)
    target_link_options(${target} INTERFACE -fsanitize=address,undefined)
  endif()
  if(TUMBLA_SANITIZE_THREAD)
    target_link_options(${target} INTERFACE -fsanitize=thread)
  endif()
endfunction()
