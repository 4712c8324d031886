# Every exe and plug-in this build makes must be a PE of the build's kind
# (32-bit PE for win32, PE32+ for win64) that imports Windows system DLLs only.
enable_testing()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(oc_pe_format pei-x86-64)
  set(oc_pe_label win64)
else()
  set(oc_pe_format pei-i386)
  set(oc_pe_label win32)
endif()
get_filename_component(oc_tool_prefix ${CMAKE_C_COMPILER} NAME)
string(REGEX REPLACE "-gcc.*$" "" oc_tool_prefix ${oc_tool_prefix})
find_program(OC_OBJDUMP NAMES ${oc_tool_prefix}-objdump objdump)
add_test(NAME pe_imports_system_dlls_only
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${OC_OBJDUMP} -DBIN_DIR=${CMAKE_BINARY_DIR}/bin
                 -DFORMAT=${oc_pe_format} -P ${CMAKE_CURRENT_LIST_DIR}/check_pe.cmake)
set_tests_properties(pe_imports_system_dlls_only PROPERTIES LABELS ${oc_pe_label})
add_test(NAME sources_include_windows_through_the_seam_header
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                 -P ${CMAKE_CURRENT_LIST_DIR}/check_windows_include.cmake)
set_tests_properties(sources_include_windows_through_the_seam_header PROPERTIES LABELS ${oc_pe_label})
