# Keeps the catalogues in step with the texts of the sources.
#   cmake -DLUPDATE=lupdate -DMODE=update -P translations/catalogue.cmake
#     takes every text of the sources into each catalogue: new texts come in unfinished, texts
#     that the sources no longer hold go.
#   cmake -DLUPDATE=lupdate -DMODE=check -DWORK=<folder> -P translations/catalogue.cmake
#     fails unless each catalogue holds exactly the texts of the sources, every one translated.
# Catalogues keep no line numbers: code that moves leaves them as they are.
cmake_minimum_required(VERSION 3.16)

get_filename_component(root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(folders app cli device image journal session ui updater)
file(GLOB catalogues "${root}/translations/*.ts")

function(take_texts catalogue)
    execute_process(COMMAND "${LUPDATE}" -silent -no-obsolete -locations none
                            -extensions cpp,h,ui ${folders} -ts "${catalogue}"
                    WORKING_DIRECTORY "${root}" RESULT_VARIABLE result ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "lupdate failed on ${catalogue}: ${errors}")
    endif()
endfunction()

if(MODE STREQUAL "update")
    foreach(catalogue IN LISTS catalogues)
        take_texts("${catalogue}")
        message(STATUS "Updated ${catalogue}: translate its unfinished entries.")
    endforeach()
    return()
endif()

if(NOT MODE STREQUAL "check" OR NOT WORK)
    message(FATAL_ERROR "Give -DMODE=update, or -DMODE=check with -DWORK=<an empty folder>.")
endif()
set(faults "")
foreach(catalogue IN LISTS catalogues)
    get_filename_component(name "${catalogue}" NAME)
    file(REMOVE_RECURSE "${WORK}")
    file(MAKE_DIRECTORY "${WORK}")
    configure_file("${catalogue}" "${WORK}/${name}" COPYONLY)
    take_texts("${WORK}/${name}")
    file(READ "${catalogue}" kept)
    file(READ "${WORK}/${name}" taken)
    # The texts to translate, as lupdate leaves them: in the catalogue already or new.
    string(REPLACE ";" "," taken_plain "${taken}")
    string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*(<[a-z]*comment>[^<]*</[a-z]*comment>[ \n]*)*<translation type=\"unfinished\"" matches "${taken_plain}")
    set(open "")
    foreach(match IN LISTS matches)
        string(REGEX REPLACE "^<source>([^<]*)</source>.*$" "\\1" text "${match}")
        list(APPEND open "${text}")
    endforeach()
    if(NOT kept STREQUAL taken)
        string(APPEND faults "\n${name} does not hold the texts of the sources as they are now.")
    endif()
    if(open)
        list(JOIN open "\n    " shown)
        string(APPEND faults "\n${name} has texts without a translation:\n    ${shown}")
    endif()
    if(kept MATCHES "type=\"(obsolete|vanished)\"")
        string(APPEND faults "\n${name} holds texts that the sources no longer have.")
    endif()
    file(REMOVE_RECURSE "${WORK}")
endforeach()
if(faults)
    message(FATAL_ERROR "The translations are not complete:${faults}\n"
        "Update the catalogues from the sources with\n"
        "    cmake --build build --target update-translations\n"
        "then translate every entry marked unfinished in translations/*.ts (with linguist, or by "
        "writing the <translation> without type=\"unfinished\"), in the terms the catalogue "
        "already uses, and commit the catalogues.")
endif()
