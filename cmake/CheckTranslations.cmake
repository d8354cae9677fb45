# SPDX-License-Identifier: MIT
# Fails while src/ holds a text that a translation lacks or leaves unfinished: reads src/
# into a copy of each .ts file, as update_translations would, and has lrelease count.
#   cmake -DSRC=<src> -DLUPDATE=<lupdate> -DLRELEASE=<lrelease> -DTS="<a.ts;b.ts>" -DWORK=<dir> -P CheckTranslations.cmake

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(failed FALSE)
foreach(ts IN LISTS TS)
  get_filename_component(name ${ts} NAME_WE)
  configure_file(${ts} ${WORK}/${name}.ts COPYONLY)
  execute_process(COMMAND ${LUPDATE} -source-language ja -target-language en -locations none -no-obsolete
                          ${SRC} -ts ${WORK}/${name}.ts
                  OUTPUT_VARIABLE updated ERROR_VARIABLE updated RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}.ts:\n${updated}")
  endif()
  execute_process(COMMAND ${LRELEASE} ${WORK}/${name}.ts -qm ${WORK}/${name}.qm
                  OUTPUT_VARIABLE released ERROR_VARIABLE released RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lrelease failed on ${name}.ts:\n${released}")
  endif()
  message("${name}.ts:\n${updated}${released}")
  string(REGEX MATCH "\\(([0-9]+) finished and ([0-9]+) unfinished\\)" counts "${released}")
  if(NOT counts OR NOT CMAKE_MATCH_2 EQUAL 0 OR released MATCHES "untranslated")
    message(SEND_ERROR "${name}.ts leaves texts of src/ untranslated: translate them "
                       "(cmake --build build --target update_translations, then edit ${ts})")
    set(failed TRUE)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "Translations are not complete")
endif()
