# release_date(CHANGELOG VERSION DATE_VAR EPOCH_VAR): the date of VERSION's
# entry in CHANGELOG ("## VERSION - YYYY-MM-DD") into DATE_VAR, and the
# seconds from 1970-01-01 to that day's start, UTC, into EPOCH_VAR.
function(release_date changelog version date_var epoch_var)
    string(REPLACE "." "\\." escaped "${version}")
    file(STRINGS ${changelog} entry REGEX "^## ${escaped} - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$")
    if(NOT entry)
        message(FATAL_ERROR "${changelog} has no entry '## ${version} - YYYY-MM-DD'")
    endif()
    string(REGEX MATCH "([0-9]+)-([0-9]+)-([0-9]+)$" date "${entry}")
    # The days before the first of March of a year counted from March, so
    # that a leap day comes last (the civil calendar's usual arithmetic).
    math(EXPR year "${CMAKE_MATCH_1}")
    math(EXPR month "${CMAKE_MATCH_2}")
    math(EXPR day "${CMAKE_MATCH_3}")
    if(month LESS_EQUAL 2)
        math(EXPR year "${year} - 1")
        math(EXPR month "${month} + 9")
    else()
        math(EXPR month "${month} - 3")
    endif()
    math(EXPR era "${year} / 400")
    math(EXPR year_of_era "${year} - ${era} * 400")
    math(EXPR day_of_year "(153 * ${month} + 2) / 5 + ${day} - 1")
    math(EXPR day_of_era
         "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year}")
    math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
    math(EXPR epoch "${days} * 86400")
    set(${date_var} ${date} PARENT_SCOPE)
    set(${epoch_var} ${epoch} PARENT_SCOPE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
endfunction()
