# Import libraries that bind a DLL's functions on first call instead of at
# load (dlltool --output-delaylib), made at configure time from the
# toolchain's own import library, so every function of the DLL is covered:
#   oc_delay_import_library(out_var user32)  -> path of libuser32_delay.a
# The hooks that load from the system folder and report a missing function
# are in common/win32/lazy_imports.cpp.
get_filename_component(oc_tool_prefix ${CMAKE_C_COMPILER} NAME)
string(REGEX REPLACE "-gcc.*$" "" oc_tool_prefix ${oc_tool_prefix})
find_program(OC_DLLTOOL NAMES ${oc_tool_prefix}-dlltool dlltool REQUIRED)
find_program(OC_NM NAMES ${oc_tool_prefix}-nm nm REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(oc_dlltool_machine i386:x86-64)
else()
  set(oc_dlltool_machine i386)
endif()

function(oc_delay_import_library out_var name)
  find_library(oc_import_${name} NAMES ${name} REQUIRED)
  set(folder ${CMAKE_BINARY_DIR}/delay_imports/${name})
  set(library ${folder}/lib${name}_delay.a)
  set(${out_var} ${library} PARENT_SCOPE)
  if(EXISTS ${library} AND NOT ${oc_import_${name}} IS_NEWER_THAN ${library})
    return()
  endif()
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND ${OC_NM} ${oc_import_${name}} OUTPUT_VARIABLE symbols
                  RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OC_NM} cannot read ${oc_import_${name}}")
  endif()
  # "__imp__BitBlt@36" (i686, stdcall size kept for the symbol) or "__imp_BitBlt".
  string(REGEX MATCHALL " I __imp_[^\n]+" imports "${symbols}")
  set(def "LIBRARY ${name}.dll\nEXPORTS\n")
  foreach(entry ${imports})
    string(REGEX REPLACE "^ I __imp_" "" export "${entry}")
    if(oc_dlltool_machine STREQUAL "i386")
      string(REGEX REPLACE "^_" "" export "${export}")
    endif()
    string(APPEND def "${export}\n")
  endforeach()
  file(WRITE ${folder}/${name}.def "${def}")
  # -k: the DLL exports "BitBlt" where the i686 symbol is _BitBlt@36.
  execute_process(COMMAND ${OC_DLLTOOL} -m ${oc_dlltool_machine} -k --input-def ${name}.def
                          --dllname ${name}.dll --output-delaylib lib${name}_delay.a
                  WORKING_DIRECTORY ${folder} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OC_DLLTOOL} could not make ${library}")
  endif()
endfunction()
