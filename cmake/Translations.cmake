# The window's texts in German, French and Spanish (docs/translations.md): the
# .ts files are made and updated with lupdate (the target update_translations),
# compiled with lrelease and built into the program under :/i18n. The default
# build fails while a translation is unfinished or behind the sources.
find_package(Qt6 REQUIRED COMPONENTS LinguistTools)

set(CHARCOLINO_LANGUAGES de es fr)
set(CHARCOLINO_TS_FILES "")
foreach(language IN LISTS CHARCOLINO_LANGUAGES)
  list(APPEND CHARCOLINO_TS_FILES ${CMAKE_CURRENT_SOURCE_DIR}/translations/charcolino_${language}.ts)
endforeach()
# Everything that puts words in the window. The console's lines and the
# command-line tool stay English.
file(GLOB CHARCOLINO_TRANSLATED_SOURCES CONFIGURE_DEPENDS
  src/app/*.cpp src/app/*.h src/app/*.ui src/canvas/*.cpp src/canvas/*.h
  src/storage/*.cpp src/storage/*.h src/widgets/*.cpp src/widgets/*.h
  src/system/SingleInstance.cpp)
set(CHARCOLINO_LUPDATE_OPTIONS -no-obsolete -locations none)

qt_add_lupdate(charcolino_app TS_FILES ${CHARCOLINO_TS_FILES} SOURCES ${CHARCOLINO_TRANSLATED_SOURCES}
  OPTIONS ${CHARCOLINO_LUPDATE_OPTIONS})
set_source_files_properties(${CHARCOLINO_TS_FILES} PROPERTIES OUTPUT_LOCATION ${CMAKE_CURRENT_BINARY_DIR}/i18n)
qt_add_lrelease(charcolino_app TS_FILES ${CHARCOLINO_TS_FILES} QM_FILES_OUTPUT_VARIABLE CHARCOLINO_QM_FILES
  OPTIONS -silent)
qt_add_resources(charcolino_app charcolino_translations
  PREFIX "/i18n"
  BASE ${CMAKE_CURRENT_BINARY_DIR}/i18n
  FILES ${CHARCOLINO_QM_FILES})

# The check: lupdate over a copy of each .ts file must find every text
# translated, none new and none gone.
set(TRANSLATION_CHECK_DIR ${CMAKE_CURRENT_BINARY_DIR}/translation-check)
list(JOIN CHARCOLINO_TRANSLATED_SOURCES "\n" sources_lines)
file(WRITE ${TRANSLATION_CHECK_DIR}/sources.lst "${sources_lines}\n")
add_custom_command(OUTPUT ${TRANSLATION_CHECK_DIR}/checked.stamp
  COMMAND ${CMAKE_COMMAND} -DLUPDATE=$<TARGET_FILE:Qt6::lupdate> -DWORK_DIR=${TRANSLATION_CHECK_DIR}
          "-DTS_FILES=${CHARCOLINO_TS_FILES}" -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/CheckTranslations.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${TRANSLATION_CHECK_DIR}/checked.stamp
  DEPENDS ${CHARCOLINO_TS_FILES} ${CHARCOLINO_TRANSLATED_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/CheckTranslations.cmake
  COMMENT "Checking that the translations are complete"
  VERBATIM)
add_custom_target(check_translations ALL DEPENDS ${TRANSLATION_CHECK_DIR}/checked.stamp)
