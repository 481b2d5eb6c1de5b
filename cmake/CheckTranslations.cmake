# cmake -DLUPDATE=<lupdate> -DWORK_DIR=<dir holding sources.lst> -DTS_FILES=<a;b> -P CheckTranslations.cmake
# Runs lupdate over a copy of each .ts file, as update_translations would but
# keeping what the sources no longer have, and fails when any message of the copy
# is unfinished (untranslated, or new in the sources) or vanished/obsolete (gone
# from them), naming each.
set(failed FALSE)
foreach(ts IN LISTS TS_FILES)
  get_filename_component(name ${ts} NAME)
  set(copy ${WORK_DIR}/${name})
  file(COPY_FILE ${ts} ${copy})
  execute_process(COMMAND ${LUPDATE} -silent -locations none @${WORK_DIR}/sources.lst -ts ${copy}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${name}:\n${out}${err}")
  endif()
  file(READ ${copy} text)
  string(REGEX MATCHALL "<source>[^<]*</source>[^<]*(<comment>[^<]*</comment>[^<]*)?(<extracomment>[^<]*</extracomment>[^<]*)?<translation type=\"(unfinished|vanished|obsolete)\"" bad "${text}")
  foreach(entry IN LISTS bad)
    string(REGEX REPLACE "^<source>([^<]*)</source>.*type=\"([a-z]+)\"$" "\\2: \\1" line "${entry}")
    message(SEND_ERROR "${name}: ${line}")
    set(failed TRUE)
  endforeach()
endforeach()
if(failed)
  message(FATAL_ERROR "Translations are unfinished: update them with `cmake --build <build> --target update_translations`, "
                      "then translate every message (docs/translations.md).")
endif()
