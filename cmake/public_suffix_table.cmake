# Turns the Public Suffix List into the compact table that Zelko carries:
#   cmake -DLIST=public_suffix_list.dat -DOUTPUT=public_suffix_table.cpp -P public_suffix_table.cmake
# Each rule is written with its labels from the right ("uk.co", "ck.!www",
# "ck.*"), the rules sorted, and each one stored as one capital letter (how
# many leading labels it shares with the rule before it, 'A' for none) followed
# by its other labels joined by "." (the list holds no capitals, so the letter
# also ends the rule before it). About two thirds of the list's text.
cmake_policy(SET CMP0007 NEW)
if(NOT LIST OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DLIST=<list.dat> -DOUTPUT=<table.cpp> -P public_suffix_table.cmake")
endif()

# Rule lines only: a comment or a blank line never matches, and no rule holds
# a ";" (which would split the CMake list).
file(STRINGS ${LIST} rules ENCODING UTF-8 REGEX "^[^/ \t;][^ \t;]*$")
list(LENGTH rules rule_count)
if(rule_count LESS 1000)
  message(FATAL_ERROR "${LIST} holds only ${rule_count} rules")
endif()

set(keys "")
foreach(rule IN LISTS rules)
  string(REPLACE "." ";" labels "${rule}")
  list(REVERSE labels)
  list(JOIN labels "." key)
  list(APPEND keys "${key}")
endforeach()
list(SORT keys)
list(REMOVE_DUPLICATES keys)

set(letters "ABCDEFGHIJKLMNOPQRSTUVWXYZ")
set(previous "")
set(line "")
set(body "")
set(table_bytes 0)
foreach(key IN LISTS keys)
  string(REPLACE "." ";" labels "${key}")
  list(LENGTH labels count)
  list(LENGTH previous previous_count)
  set(shared 0)
  while(shared LESS count AND shared LESS previous_count)
    list(GET labels ${shared} mine)
    list(GET previous ${shared} theirs)
    if(NOT mine STREQUAL theirs)
      break()
    endif()
    math(EXPR shared "${shared} + 1")
  endwhile()
  if(shared EQUAL count)
    math(EXPR shared "${count} - 1")  # a rule that only repeats the one before it
  endif()
  list(SUBLIST labels ${shared} -1 rest)
  list(JOIN rest "." rest)
  string(SUBSTRING "${letters}" ${shared} 1 letter)
  string(APPEND line "${letter}${rest}")
  string(LENGTH "${letter}${rest}" entry_bytes)
  math(EXPR table_bytes "${table_bytes} + ${entry_bytes}")
  set(previous "${labels}")
  string(LENGTH "${line}" line_length)
  if(line_length GREATER 96)
    string(APPEND body "    \"${line}\"\n")
    set(line "")
  endif()
endforeach()
if(NOT line STREQUAL "")
  string(APPEND body "    \"${line}\"\n")
endif()

file(WRITE ${OUTPUT}.new
"// Made at build time from the Public Suffix List by cmake/public_suffix_table.cmake.
#include \"zelko/public_suffix.h\"

namespace zelko {

const char kPublicSuffixTable[] =
${body};
const std::size_t kPublicSuffixTableSize = sizeof kPublicSuffixTable - 1;

}  // namespace zelko
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
message(STATUS "Public suffix table: ${rule_count} rules in ${table_bytes} bytes")
