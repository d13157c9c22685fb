# Writes into help pages the name and date of the shipped database's edition, read from
# data/edition.tsv (its first row after the headings): @EDITION_NAME@, @EDITION_DATE@, and
# @EDITION_MARK@, what its synthetic column says in words.
#
# Variables: EDITION_TSV, PAGES (the staged pages, a list).

cmake_minimum_required(VERSION 3.20)

foreach(variable EDITION_TSV PAGES)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "StampEdition.cmake: ${variable} is not set")
    endif()
endforeach()

file(STRINGS ${EDITION_TSV} rows ENCODING UTF-8 REGEX "^[^#]")
list(LENGTH rows count)
if(count LESS 2)
    message(FATAL_ERROR "StampEdition.cmake: ${EDITION_TSV} holds no edition row")
endif()
list(GET rows 1 row)
string(REPLACE "\t" ";" fields "${row}")
list(GET fields 0 EDITION_NAME)
list(GET fields 1 EDITION_DATE)
list(GET fields 3 synthetic)
if(synthetic STREQUAL "1")
    set(EDITION_MARK "marquée comme synthétique")
else()
    set(EDITION_MARK "non marquée comme synthétique")
endif()
foreach(text "&" "<" ">")
    if(EDITION_NAME MATCHES "${text}")
        message(FATAL_ERROR "StampEdition.cmake: the edition's name holds '${text}'")
    endif()
endforeach()

foreach(page IN LISTS PAGES)
    file(READ ${page} html)
    string(CONFIGURE "${html}" html @ONLY)
    file(WRITE ${page} "${html}")
endforeach()
