# SPDX-License-Identifier: MIT
# The translations of the texts the program shows. The source texts are Japanese (and the
# English names of the controls), marked in src/ with QT_TRANSLATE_NOOP and
# QCoreApplication::translate in the context "pictavo".
#
#   cmake --build build --target update_translations   re-reads src/ into the .ts files
#
# lrelease makes each .qm at build time, and the .qm files are embedded as resources
# under :/i18n. The test translations_complete fails while src/ holds a text that a
# .ts file lacks or leaves unfinished.

function(pictavo_translations target)
  set(ts_files "")
  foreach(ts IN LISTS ARGN)
    list(APPEND ts_files ${PROJECT_SOURCE_DIR}/${ts})
  endforeach()
  qt_add_lrelease(${target} TS_FILES ${ts_files} QM_FILES_OUTPUT_VARIABLE qm_files)
  qt_add_resources(${target} pictavo_translations PREFIX /i18n BASE ${CMAKE_CURRENT_BINARY_DIR} FILES ${qm_files})

  add_custom_target(update_translations
    COMMAND Qt6::lupdate -source-language ja -target-language en -locations none -no-obsolete
            ${PROJECT_SOURCE_DIR}/src -ts ${ts_files}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Reading the texts of src/ into the translations"
    VERBATIM)
  set(PICTAVO_TS_FILES ${ts_files} CACHE INTERNAL "")
endfunction()
