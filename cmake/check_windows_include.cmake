# The programs' sources reach <windows.h> only through common/win32/win32_api.h,
# which removes the ANSI/wide macros that would rename the platform seam's
# methods (MessageBox -> MessageBoxA) in the file that includes it.
file(GLOB_RECURSE sources ${SOURCE_DIR}/common/*.cpp ${SOURCE_DIR}/common/*.h
     ${SOURCE_DIR}/zelko/*.cpp ${SOURCE_DIR}/zelko/*.h ${SOURCE_DIR}/mirsa/*.cpp
     ${SOURCE_DIR}/mirsa/*.h ${SOURCE_DIR}/tarvel/*.cpp ${SOURCE_DIR}/tarvel/*.h)
set(offenders "")
foreach(source ${sources})
  if(source MATCHES "/common/win32/win32_api\\.h$")
    continue()
  endif()
  file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*<windows\\.h>")
  if(lines)
    list(APPEND offenders ${source})
  endif()
endforeach()
if(offenders)
  message(FATAL_ERROR "include common/win32/win32_api.h instead of <windows.h>: ${offenders}")
endif()
