# SPDX-License-Identifier: MIT
# The parts of src/ and the one rule between them: a part includes only its own headers
# and those of the parts below it (USES, followed on down). pictavo_part() makes the
# part's library; pictavo_check_layers() makes every build check each #include "x/..."
# of src/ against the same table (cmake/CheckLayers.cmake).

set(PICTAVO_PARTS "" CACHE INTERNAL "")

# pictavo_part(NAME [USES part...] [LINKS lib...] [PRIVATE_LINKS lib...])
function(pictavo_part name)
  cmake_parse_arguments(PART "" "" "USES;LINKS;PRIVATE_LINKS" ${ARGN})
  set(below ${PART_USES})
  foreach(used IN LISTS PART_USES)
    list(APPEND below ${PICTAVO_PART_${used}_BELOW})
  endforeach()
  list(REMOVE_DUPLICATES below)
  set(PICTAVO_PART_${name}_BELOW "${below}" CACHE INTERNAL "")
  set(PICTAVO_PARTS ${PICTAVO_PARTS} ${name} CACHE INTERNAL "")

  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp ${PROJECT_SOURCE_DIR}/src/${name}/*.h)
  add_library(pictavo_${name} STATIC ${sources})
  target_include_directories(pictavo_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
  set(libraries ${PART_LINKS})
  foreach(used IN LISTS PART_USES)
    list(APPEND libraries pictavo_${used})
  endforeach()
  target_link_libraries(pictavo_${name} PUBLIC ${libraries} PRIVATE ${PART_PRIVATE_LINKS})
endfunction()

# Writes the table of parts and what each may include, and checks src/ against it on
# every build.
function(pictavo_check_layers)
  set(table "")
  foreach(part IN LISTS PICTAVO_PARTS)
    string(REPLACE ";" " " below "${PICTAVO_PART_${part}_BELOW}")
    string(APPEND table "${part}: ${below}\n")
  endforeach()
  set(table_file ${PROJECT_BINARY_DIR}/layers.txt)
  file(WRITE ${table_file} "${table}")
  file(GLOB_RECURSE checked CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h)
  set(stamp ${PROJECT_BINARY_DIR}/layers.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DSRC=${PROJECT_SOURCE_DIR}/src -DTABLE=${table_file}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${checked} ${table_file} ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
    COMMENT "Checking that every include of src/ keeps to the layers")
  add_custom_target(layering ALL DEPENDS ${stamp})
endfunction()
