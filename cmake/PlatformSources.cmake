# platform_sources(<out-var> <unit>... [POSIX_ONLY <unit>...] [WIN32_ONLY <unit>...]
#                  [SUFFIX <ending>])
#
# Sets <out-var> to the platform half of each unit: <unit>_win32<ending> when
# building for Windows, <unit>_posix<ending> elsewhere. A unit listed after
# POSIX_ONLY or WIN32_ONLY has that half only and is left out on the other
# platform. <ending> is .cpp unless given (tests use _test.cpp).
function(platform_sources out)
  cmake_parse_arguments(PARSE_ARGV 1 P "" "SUFFIX" "POSIX_ONLY;WIN32_ONLY")
  if(NOT DEFINED P_SUFFIX)
    set(P_SUFFIX .cpp)
  endif()
  set(units ${P_UNPARSED_ARGUMENTS})
  if(WIN32)
    set(platform win32)
    list(APPEND units ${P_WIN32_ONLY})
  else()
    set(platform posix)
    list(APPEND units ${P_POSIX_ONLY})
  endif()
  set(files)
  foreach(unit IN LISTS units)
    list(APPEND files ${unit}_${platform}${P_SUFFIX})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()
