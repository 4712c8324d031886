# Boost.Regex, header-only and standalone, is the yardstick of the tests and
# fuzz targets only: no program links a regex engine. Debian keeps its headers in
# /usr/include, which must not be put on the cross compiler's include path as a
# whole, so only the boost folder is linked into the build tree.
set(OC_BOOST_ROOT "/usr/include/boost" CACHE PATH "Folder of the Boost 1.81 headers")
set(OC_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost_include)
if(NOT EXISTS ${OC_BOOST_INCLUDE}/boost)
  file(MAKE_DIRECTORY ${OC_BOOST_INCLUDE})
  file(CREATE_LINK ${OC_BOOST_ROOT} ${OC_BOOST_INCLUDE}/boost SYMBOLIC)
endif()
add_library(oc_regex INTERFACE)
target_include_directories(oc_regex SYSTEM INTERFACE ${OC_BOOST_INCLUDE})
target_compile_definitions(oc_regex INTERFACE BOOST_REGEX_STANDALONE)

find_package(ZLIB REQUIRED)

# Warnings for our own code.
add_library(oc_warnings INTERFACE)
target_compile_options(oc_warnings INTERFACE -Wall -Wextra)

if(WIN32)
  # One self-contained exe: static C and C++ runtime, no DLL beside it.
  add_link_options(-static -static-libgcc -static-libstdc++ -s)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

  # Reproducible exes: the PE time stamp is SOURCE_DATE_EPOCH (given, or the
  # last commit's time, read again after each commit), which ld takes from the
  # environment; no source folder is written into them.
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(OC_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
  else()
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE OC_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE rc ERROR_QUIET)
    execute_process(COMMAND git rev-parse --absolute-git-dir WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE git_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(EXISTS ${git_dir}/logs/HEAD)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${git_dir}/logs/HEAD)
    endif()
    if(NOT rc EQUAL 0 OR OC_SOURCE_DATE_EPOCH STREQUAL "")
      set(OC_SOURCE_DATE_EPOCH 0)
    endif()
  endif()
  foreach(language C CXX)
    set(CMAKE_${language}_LINKER_LAUNCHER
        ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${OC_SOURCE_DATE_EPOCH})
  endforeach()
endif()

# A Windows GUI program of ours: portable core library + the Win32 entry.
function(oc_windows_program target output_name)
  # Every program carries the application manifest (resource 1 of type 24).
  set(manifest_rc ${CMAKE_SOURCE_DIR}/common/win32/manifest.rc)
  set_source_files_properties(${manifest_rc} PROPERTIES
    OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/common/win32/app.manifest)
  add_executable(${target} WIN32 ${ARGN} ${manifest_rc})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output_name})
  target_link_libraries(${target} PRIVATE common_win32 oc_warnings)
endfunction()

# The program's icon and version resource:
#   oc_program_version(target PRODUCT Zelko VERSION 2.5 DESCRIPTION "..." ICON file.ico)
# The version is kept on the target (OC_VERSION) for the packages' file names.
set(OC_COMPANY "Quillmoor Workshop")
function(oc_program_version target)
  cmake_parse_arguments(arg "" "PRODUCT;VERSION;DESCRIPTION;ICON" "" ${ARGN})
  string(REPLACE "." ";" parts ${arg_VERSION})
  list(GET parts 0 OC_VERSION_MAJOR)
  list(GET parts 1 OC_VERSION_MINOR)
  set(OC_PRODUCT ${arg_PRODUCT})
  set(OC_VERSION ${arg_VERSION})
  set(OC_DESCRIPTION ${arg_DESCRIPTION})
  get_filename_component(OC_ICON ${arg_ICON} ABSOLUTE)
  get_target_property(output_name ${target} OUTPUT_NAME)
  set(OC_FILE_NAME ${output_name}.exe)
  set(OC_COPYRIGHT "Copyright (C) 2026 ${OC_COMPANY}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/common/win32/version.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${OC_ICON})
  target_sources(${target} PRIVATE ${rc})
  set_target_properties(${target} PROPERTIES OC_VERSION ${arg_VERSION} OC_PRODUCT ${arg_PRODUCT})
endfunction()

# "Name.exe=Product:Version" of each program, what its resources must say:
#   oc_program_expectations(out_var)
function(oc_program_expectations out_var)
  set(expectations "")
  foreach(part zelko mirsa tarvel)
    get_target_property(name ${part}_exe OUTPUT_NAME)
    get_target_property(product ${part}_exe OC_PRODUCT)
    get_target_property(version ${part}_exe OC_VERSION)
    list(APPEND expectations ${name}.exe=${product}:${version})
  endforeach()
  set(${out_var} ${expectations} PARENT_SCOPE)
endfunction()

# The in-memory platform as a library of its own, for the benchmark and fuzz
# programs that drive whole routines without the test framework.
function(oc_fake_platform_library)
  if(NOT TARGET fake_platform)
    file(GLOB fake_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/fake_*.cpp)
    add_library(fake_platform STATIC ${fake_sources})
    target_include_directories(fake_platform PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(fake_platform PUBLIC common_core)
  endif()
endfunction()
