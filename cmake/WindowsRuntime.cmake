# Windows build tree: every program, test and DLL in one bin/ folder, next to
# the DLLs they load (MinGW's C++ runtime, Tcl), and Tcl's script library in
# lib/tcl8.6 beside it, where Tcl looks relative to the program. Nothing then
# depends on PATH or WINEPATH, in the build tree or in the ZIP.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)

# The C++ runtime as DLLs: a static runtime would duplicate the unwinder in
# each framework DLL and give each its own std::cout.
set(KVEL_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    find_file(found_${dll} ${dll} PATHS /usr/${KVEL_MINGW_HOST}/lib NO_CMAKE_FIND_ROOT_PATH)
    set(found ${found_${dll}})
  endif()
  if(NOT found)
    message(FATAL_ERROR "MinGW runtime DLL ${dll} not found")
  endif()
  list(APPEND KVEL_RUNTIME_DLLS ${found})
endforeach()

# Tcl's DLL and script library from the dependency prefix.
get_filename_component(KVEL_TCL_PREFIX ${TCL_LIBRARY} DIRECTORY)
get_filename_component(KVEL_TCL_PREFIX ${KVEL_TCL_PREFIX} DIRECTORY)
file(GLOB KVEL_TCL_DLLS ${KVEL_TCL_PREFIX}/bin/tcl86*.dll ${KVEL_TCL_PREFIX}/bin/zlib1.dll)
if(NOT KVEL_TCL_DLLS)
  message(FATAL_ERROR "Tcl DLL not found under ${KVEL_TCL_PREFIX}/bin")
endif()
set(KVEL_TCL_SCRIPT_LIBRARY ${KVEL_TCL_PREFIX}/lib/tcl8.6)

file(COPY ${KVEL_RUNTIME_DLLS} ${KVEL_TCL_DLLS} DESTINATION ${PROJECT_BINARY_DIR}/bin)
file(COPY ${KVEL_TCL_SCRIPT_LIBRARY} DESTINATION ${PROJECT_BINARY_DIR}/lib)
