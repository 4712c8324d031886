# The ZIPs a user unpacks into the browser's program folder (the ZIP's root):
# one per program and one with all three, made by the "package" target.
#   tarvel.exe, tarvel.ini.sample, tarvel.txt     beside opera.exe
#   Zelko\Zelko.exe, Zelko_lang.ini, ...           Zelko's browser folder is its parent
#   Mirsa\Mirsa.exe, ...                           anywhere; hhc.exe, isiloxc.exe beside it
#   Zelko\buttons.html, Mirsa\buttons.html        links that make the browser's toolbar buttons
# The read-mes, samples and language file get CRLF line ends for Notepad.
set(oc_package_files ${CMAKE_BINARY_DIR}/package_files)
set(zelko_folder Zelko)
set(zelko_files Zelko.txt Zelko.ini.sample Zelko_lang.ini buttons.html)
set(mirsa_folder Mirsa)
set(mirsa_files Mirsa.txt Mirsa.ini.sample buttons.html)
set(tarvel_folder .)
set(tarvel_files tarvel.txt tarvel.ini.sample)

foreach(part zelko mirsa tarvel)
  get_target_property(version ${part}_exe OC_VERSION)
  get_target_property(product ${part}_exe OC_PRODUCT)
  string(TOUPPER ${part} PART)
  set(${PART}_VERSION ${version})
  set(${part}_archive ${product}-${version})
endforeach()

configure_file(${CMAKE_SOURCE_DIR}/zelko/resources/Zelko_lang.ini
               ${oc_package_files}/Zelko_lang.ini @ONLY NEWLINE_STYLE CRLF)
foreach(file Zelko.txt Zelko.ini.sample Mirsa.txt Mirsa.ini.sample tarvel.txt tarvel.ini.sample)
  configure_file(${CMAKE_SOURCE_DIR}/package/${file} ${oc_package_files}/${file}
                 @ONLY NEWLINE_STYLE CRLF)
endforeach()
# One page of toolbar buttons per program, each showing that program's buttons.
foreach(part zelko mirsa)
  get_target_property(BUTTONS_PROGRAM ${part}_exe OC_PRODUCT)
  configure_file(${CMAKE_SOURCE_DIR}/package/buttons.html
                 ${oc_package_files}/${part}/buttons.html @ONLY NEWLINE_STYLE CRLF)
endforeach()

foreach(part zelko mirsa tarvel)
  foreach(component ${part} all)
    install(TARGETS ${part}_exe RUNTIME DESTINATION ${${part}_folder} COMPONENT ${component})
    foreach(file ${${part}_files})
      set(made ${oc_package_files}/${file})
      if(file STREQUAL buttons.html)
        set(made ${oc_package_files}/${part}/${file})
      endif()
      install(FILES ${made} DESTINATION ${${part}_folder} COMPONENT ${component})
    endforeach()
  endforeach()
endforeach()

# The win64 build is for tests only; its ZIPs say so in their names.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(oc_archive_suffix -win64)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Zelko-Mirsa-Tarvel)
set(CPACK_PACKAGE_VENDOR ${OC_COMPANY})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL zelko mirsa tarvel all)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_ZELKO_FILE_NAME ${zelko_archive}${oc_archive_suffix})
set(CPACK_ARCHIVE_MIRSA_FILE_NAME ${mirsa_archive}${oc_archive_suffix})
set(CPACK_ARCHIVE_TARVEL_FILE_NAME ${tarvel_archive}${oc_archive_suffix})
set(CPACK_ARCHIVE_ALL_FILE_NAME
    ${zelko_archive}-${mirsa_archive}-${tarvel_archive}${oc_archive_suffix})
# The same sources give the same ZIPs anywhere: sorted entries, one time
# stamp, fixed permissions; SHA256SUMS beside them.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(CPACK_OC_PYTHON ${Python3_EXECUTABLE})
set(CPACK_OC_REPRODUCIBLE_ZIPS ${CMAKE_CURRENT_LIST_DIR}/reproducible_zips.py)
set(CPACK_OC_SOURCE_DATE_EPOCH ${OC_SOURCE_DATE_EPOCH})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package_post_build.cmake)
include(CPack)

# The ZIPs made afresh and checked: layout, each exe's resources, CRLF text,
# samples that set nothing.
enable_testing()
if(Python3_FOUND)
  oc_program_expectations(oc_package_expectations)
  add_test(NAME package_zips_unpack_into_the_browser_folder
           COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/package/check_package.py
                   --cpack ${CMAKE_CPACK_COMMAND} --build ${CMAKE_BINARY_DIR}
                   --work ${CMAKE_BINARY_DIR}/package_check --company ${OC_COMPANY}
                   "--suffix=${oc_archive_suffix}" ${oc_package_expectations})
  set_tests_properties(package_zips_unpack_into_the_browser_folder PROPERTIES LABELS package)
  add_test(NAME package_builds_twice_to_the_same_bytes
           COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/package/check_reproducible.py
                   --source ${CMAKE_SOURCE_DIR} --toolchain ${CMAKE_TOOLCHAIN_FILE}
                   --first ${CMAKE_BINARY_DIR} --second ${CMAKE_BINARY_DIR}-again
                   --work ${CMAKE_BINARY_DIR}/reproducible zelko_exe mirsa_exe tarvel_exe)
  set_tests_properties(package_builds_twice_to_the_same_bytes PROPERTIES LABELS package)
endif()
