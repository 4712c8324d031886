# Turns the Public Suffix List into the table that Zelko carries:
#   cmake -DLIST=public_suffix_list.dat -DOUTPUT=public_suffix_table.cpp -P public_suffix_table.cmake
# Each rule is written with its labels from the right ("uk.co", "ck.!www",
# "ck.*"), and the rules are sorted byte by byte, as std::string_view compares
# them, so that the program finds a rule by binary search. The rules are one
# string, each after a line feed, and the search halves the string itself: no
# pointer or offset per rule, so the table is little more than the rules and
# needs no relocation.
cmake_policy(SET CMP0007 NEW)
if(NOT LIST OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DLIST=<list.dat> -DOUTPUT=<table.cpp> -P public_suffix_table.cmake")
endif()

# Rule lines only: a comment or a blank line never matches, and no rule holds
# a ";" (which would split the CMake list) or a character that would need an
# escape in a C++ string.
file(STRINGS ${LIST} rules ENCODING UTF-8 REGEX "^[^/ \t;\"\\\\][^ \t;\"\\\\]*$")
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

# One rule a line in the string. string(LENGTH) counts bytes, as the size of
# the UTF-8 string does.
set(text "")
set(size 1)
foreach(key IN LISTS keys)
  string(APPEND text "\n    \"${key}\\n\"")
  string(LENGTH "${key}" length)
  math(EXPR size "${size} + ${length} + 1")
endforeach()

file(WRITE ${OUTPUT}.new
"// Made at build time from the Public Suffix List by cmake/public_suffix_table.cmake.
#include \"zelko/public_suffix.h\"

namespace zelko {

// constexpr: the table is data in the exe, with no code to run at start.
constexpr char kPublicSuffixText[] =
    \"\\n\"${text};
constexpr std::size_t kPublicSuffixTextSize = sizeof kPublicSuffixText - 1;

static_assert(kPublicSuffixTextSize == ${size}, \"a rule's length in bytes was miscounted\");

}  // namespace zelko
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
list(LENGTH keys key_count)
message(STATUS "Public suffix table: ${key_count} rules, ${size} bytes")
