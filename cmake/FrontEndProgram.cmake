# add_front_end_program(NAME SOURCES <main.cpp> LIBS <logic libraries> FRAMEWORK <common|commonmain|both>)
#
# Builds NAME against the stand-in framework libraries and NAME_double against
# the test double. The program's own code is the same in both.
#
# The framework libraries are shared and the logic libraries static; CMake puts
# the static libraries' own dependencies after the framework on the link line,
# where an as-needed linker would already have dropped the framework. Linking
# with --no-as-needed keeps it, so no library has to be named twice.
function(add_front_end_program name)
  cmake_parse_arguments(P "" "FRAMEWORK" "SOURCES;LIBS" ${ARGN})
  set(standin)
  set(double)
  if(P_FRAMEWORK STREQUAL "common" OR P_FRAMEWORK STREQUAL "both")
    list(APPEND standin zek_common)
    list(APPEND double zekdouble_common)
  endif()
  if(P_FRAMEWORK STREQUAL "commonmain" OR P_FRAMEWORK STREQUAL "both")
    list(APPEND standin zek_commonmain zek_common)
    list(APPEND double zekdouble_commonmain zekdouble_common)
  endif()
  # On Windows both builds carry the application manifest, so that the tests
  # see the code page the shipped programs run in.
  set(manifest)
  if(WIN32)
    set(manifest ${PROJECT_SOURCE_DIR}/cmake/windows/front-end.rc)
  endif()
  add_executable(${name} ${P_SOURCES} ${manifest})
  target_link_libraries(${name} PRIVATE ${P_LIBS} frontend_support ${standin})
  target_link_options(${name} PRIVATE "LINKER:--no-as-needed")
  # The program finds the framework in the build tree as it does installed,
  # relative to itself (framework/CMakeLists.txt builds the libraries there).
  # A build-tree path that installing rewrites would be padded with empty
  # entries, which the loader takes for the working directory: a program
  # started in a shared folder would load libraries others put there.
  if(NOT WIN32)
    set_target_properties(${name} PROPERTIES BUILD_WITH_INSTALL_RPATH ON)
  endif()
  add_executable(${name}_double ${P_SOURCES} ${manifest})
  target_link_libraries(${name}_double PRIVATE ${P_LIBS} frontend_support ${double})
  target_link_options(${name}_double PRIVATE "LINKER:--no-as-needed")
endfunction()
