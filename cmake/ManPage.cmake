# cmake -DPROGRAM=... -DNAME_LINE=... [-DSEE_ALSO=...] [-DEXTRA=FILE.h2m] -DOUTPUT=....1.gz -P ManPage.cmake
#
# Makes a program's man page from its own --help and --version (help2man), so
# the page says what the program says. A program with subcommands (a
# "Subcommands:" block in its help) gets a COMMANDS section with each
# subcommand's --help as well; EXTRA adds sections of help2man's include format
# (what --help does not say, such as examples).
foreach(var PROGRAM NAME_LINE OUTPUT HELP2MAN GZIP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ManPage.cmake: ${var} not set")
  endif()
endforeach()

# Help text into roff that man fills to the reader's width: the lines of an
# "Options:", "Positionals:" or "Arguments:" block ("  --name ARG   what it
# does") and of a block of terms ("  Term  what it means", continued further in)
# become tagged paragraphs; lines at the margin are prose, filled, but for a
# heading of a word or two ("Example:") and the usage line, which stand alone;
# other indented lines (examples) are kept as they are.
function(roff_of_help text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE ";" "\\;" text "${text}")  # keep list splitting off the text's own semicolons
  string(REPLACE "\n" ";" lines "${text}")
  set(roff "")
  set(block "")  # what the last line began or continued: options, terms, verbatim, heading, prose
  foreach(line IN LISTS lines)
    string(REPLACE "\\;" ";" line "${line}")
    if(line MATCHES "^[.']")
      set(line "\\&${line}")
    endif()
    set(was "${block}")
    if(line STREQUAL "")
      set(block "")
      set(add "")
    elseif(line MATCHES "^(Options|Positionals|Arguments):$")
      set(block options)
      set(add ".PP\n\\fI${line}\\fR\n")
    elseif(was STREQUAL "options" AND line MATCHES "^  ([^ ].*[^ ])   +([^ ].*)$")
      set(add ".TP\n\\fB${CMAKE_MATCH_1}\\fR\n${CMAKE_MATCH_2}\n")
    elseif(was STREQUAL "options" AND line MATCHES "^  ([^ ].*)$")  # its text on the next line
      set(add ".TP\n\\fB${CMAKE_MATCH_1}\\fR\n")
    elseif(NOT was STREQUAL "verbatim" AND line MATCHES "^  ([^ ]+)  +([^ ].*)$")
      set(block terms)
      set(add ".TP\n${CMAKE_MATCH_1}\n${CMAKE_MATCH_2}\n")
    elseif((was STREQUAL "options" OR was STREQUAL "terms") AND line MATCHES "^   +([^ ].*)$")
      set(add "${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^ ")
      set(block verbatim)
      set(add "${line}\n")
      if(was STREQUAL "heading")
        set(add ".nf\n${add}")
      elseif(NOT was STREQUAL "verbatim")
        set(add ".PP\n.nf\n${add}")
      endif()
    elseif(line MATCHES "^[A-Z][^ ]*( [^ ]+)?:$" OR line MATCHES "^Usage: ")
      set(block heading)
      set(add ".PP\n${line}\n")
    else()
      set(block prose)
      set(add "${line}\n")
      if(NOT was STREQUAL "prose")
        set(add ".PP\n${add}")
      endif()
    endif()
    if(was STREQUAL "verbatim" AND NOT block STREQUAL "verbatim")
      string(APPEND roff ".fi\n")
    endif()
    string(APPEND roff "${add}")
  endforeach()
  if(block STREQUAL "verbatim")
    string(APPEND roff ".fi\n")
  endif()
  set(${out} "${roff}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help failed (${status})")
endif()

set(include "")
if(help MATCHES "\nSubcommands:\n(([ ]+[^\n]*\n)+)")
  string(REGEX MATCHALL "\n  [a-z][-a-z0-9]*" names "\n${CMAKE_MATCH_1}")
  string(APPEND include "[COMMANDS]\n")
  foreach(name IN LISTS names)
    string(STRIP "${name}" name)
    execute_process(COMMAND "${PROGRAM}" ${name} --help OUTPUT_VARIABLE subhelp RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR subhelp STREQUAL "")
      message(FATAL_ERROR "${PROGRAM} ${name} --help failed (${status})")
    endif()
    roff_of_help("${subhelp}" roff)
    string(APPEND include ".SS ${name}\n${roff}")
  endforeach()
endif()
if(EXTRA)
  file(READ "${EXTRA}" extra)
  string(APPEND include "${extra}")
endif()
if(SEE_ALSO)
  string(APPEND include "[SEE ALSO]\n${SEE_ALSO}\n")
endif()

get_filename_component(name "${OUTPUT}" NAME)
string(REGEX REPLACE "\\.gz$" "" page "${OUTPUT}")
file(WRITE "${page}.include" "${include}")
execute_process(
  COMMAND "${HELP2MAN}" --no-info --section=1 "--name=${NAME_LINE}"
          "--include=${page}.include" "--output=${page}" "${PROGRAM}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()
# Debian's way: compressed, with no name or time stamp in the gzip header.
execute_process(COMMAND "${GZIP}" -9nf "${page}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${page}")
endif()
file(REMOVE "${page}.include")
