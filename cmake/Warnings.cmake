# Warnings are errors in the project's own code. Targets call gravimo_warnings().
function(gravimo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  gravimo_unity_exclusions(${target})
endfunction()

# The Windows check builds compile each target's files together
# (CMAKE_UNITY_BUILD), which saves most of their compile time. Files that
# include <windows.h>, whose names clash with the program's own, and the few
# whose file-local names clash with a neighbour's are compiled on their own.
set(gravimo_unity_alone support/region_heap.cpp render/frame.cpp tests/render/gauge_test.cpp
                        tests/support/region_heap_test.cpp tests/window/window_test.cpp)
function(gravimo_unity_exclusions target)
  if(NOT CMAKE_UNITY_BUILD)
    return()
  endif()
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    get_filename_component(path ${source} ABSOLUTE)
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${path})
    if(relative MATCHES "_(win32|gdi)\\.cpp$" OR relative IN_LIST gravimo_unity_alone)
      set_source_files_properties(${source} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endforeach()
endfunction()

# Files named for a platform are built only for it.
if(WIN32)
  set(gravimo_other_platforms "_(linux|gtk|cairo|bluez|uhid|glib|speechd)\\.cpp$")
else()
  set(gravimo_other_platforms "_(win32|gdi)\\.cpp$")
endif()

# One static library per folder, from every .cpp file in it except program
# entries (files ending in _main.cpp), which the folder builds itself.
function(gravimo_folder_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_main\\.cpp$")
  list(FILTER sources EXCLUDE REGEX "${gravimo_other_platforms}")
  if(GRAVIMO_VM)
    # The statically linked virtual-machine programs carry no desktop code.
    list(FILTER sources EXCLUDE REGEX "_(bluez|gtk|cairo)\\.cpp$")
  endif()
  if(NOT sources)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp "")
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  gravimo_warnings(${name})
endfunction()
