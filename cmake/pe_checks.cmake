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

# Each program carries its manifest, its version resource and its icon
# (16 and 32 pixels); the package test reads the same from the ZIPs.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  oc_program_expectations(oc_resource_expectations)
  add_test(NAME pe_programs_carry_version_icon_and_manifest
           COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/package/check_resources.py
                   --company ${OC_COMPANY} ${CMAKE_BINARY_DIR}/bin ${oc_resource_expectations})
  set_tests_properties(pe_programs_carry_version_icon_and_manifest PROPERTIES LABELS ${oc_pe_label})
  # The shipped programs load on Windows XP SP3 (checked on the win32 build,
  # the one shipped): Wine exports Vista's functions whatever it claims to be.
  if(oc_pe_label STREQUAL "win32")
    set(oc_shipped_exes "")
    foreach(part zelko mirsa tarvel)
      get_target_property(name ${part}_exe OUTPUT_NAME)
      list(APPEND oc_shipped_exes ${name}.exe)
    endforeach()
    add_test(NAME pe_programs_bind_only_what_windows_xp_has
             COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/package/check_xp.py
                     --exports ${CMAKE_SOURCE_DIR}/tests/package/xp_sp3_exports.txt
                     ${CMAKE_BINARY_DIR}/bin ${oc_shipped_exes})
    set_tests_properties(pe_programs_bind_only_what_windows_xp_has PROPERTIES LABELS win32)
  endif()
  add_test(NAME icons_are_drawn_by_their_script
           COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/draw-icons --check)
  set_tests_properties(icons_are_drawn_by_their_script PROPERTIES LABELS ${oc_pe_label})
else()
  message(WARNING "no Python 3: the resource and package checks are left out")
endif()
