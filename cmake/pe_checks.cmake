# Every exe and plug-in this build makes must be a 32-bit PE that imports
# Windows system DLLs only.
enable_testing()
find_program(OC_OBJDUMP NAMES i686-w64-mingw32-objdump objdump)
add_test(NAME pe_imports_system_dlls_only
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${OC_OBJDUMP} -DBIN_DIR=${CMAKE_BINARY_DIR}/bin
                 -P ${CMAKE_CURRENT_LIST_DIR}/check_pe.cmake)
set_tests_properties(pe_imports_system_dlls_only PROPERTIES LABELS win32)
