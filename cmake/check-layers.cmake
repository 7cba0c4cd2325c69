# Checks that every #include "folder/..." under a source tree points down the
# layers: a folder includes only itself and the folders below it, never one
# above it nor a sibling of its own layer (siblings could include each other
# in a loop). Files directly in the tree's top are the entry point, which sees
# every folder.
#   cmake -DSOURCE_DIR=<src> -P check-layers.cmake
# Fails with one line per offending include.
cmake_minimum_required(VERSION 3.25)
set(layers sys core "payload|jvm|coord" launch service)

function(layer_of folder out)
  set(rank 0)
  foreach(layer IN LISTS layers)
    string(REPLACE "|" ";" members "${layer}")
    if(folder IN_LIST members)
      set(${out} ${rank} PARENT_SCOPE)
      return()
    endif()
    math(EXPR rank "${rank} + 1")
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)
if(NOT IS_DIRECTORY "${SOURCE_DIR}")
  message(FATAL_ERROR "layers: no source tree at '${SOURCE_DIR}'")
endif()
list(LENGTH layers entry_rank)
file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
set(problems "")
foreach(file IN LISTS files)
  if(file MATCHES "^([^/]+)/")
    set(folder "${CMAKE_MATCH_1}")
    layer_of(${folder} rank)
    if(rank STREQUAL "")
      string(APPEND problems "${file}: the folder '${folder}' has no place in the layers\n")
      continue()
    endif()
  else()
    set(folder "")
    set(rank ${entry_rank})
  endif()
  file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
    if(NOT included MATCHES "^([^/]+)/")
      continue()  # a header of the including file's own folder
    endif()
    set(target "${CMAKE_MATCH_1}")
    if(target STREQUAL folder)
      continue()
    endif()
    layer_of(${target} target_rank)
    if(target_rank STREQUAL "")
      string(APPEND problems "${file} includes \"${included}\": '${target}' is no folder of the layers\n")
    elseif(target_rank GREATER_EQUAL rank)
      string(APPEND problems "${file} includes \"${included}\": '${target}' is not below '${folder}' in the layers\n")
    endif()
  endforeach()
endforeach()

list(LENGTH files count)
if(problems)
  # NOTICE prints the lines as they are; FATAL_ERROR would rewrap them.
  message(NOTICE "${problems}")
  message(FATAL_ERROR "layers: includes above that do not point down "
                      "(sys < core < payload, jvm, coord < launch < service < entry)")
endif()
message(STATUS "layers: ${count} files, every include points down")
