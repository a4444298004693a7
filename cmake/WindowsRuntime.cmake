# Windows build tree: every program, test and DLL in one bin/ folder, next to
# the DLLs they load (MinGW's C++ runtime, Tcl), and Tcl's whole library in
# lib/ beside it, where Tcl looks relative to the program: the script library
# lib/tcl8.6, the module tree lib/tcl8 (msgcat, http, platform, tcltest) and
# the dde and registry packages with their DLLs. Nothing then depends on PATH
# or WINEPATH, in the build tree or in the ZIP.
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
file(GLOB KVEL_TCL_PACKAGE_DIRS ${KVEL_TCL_PREFIX}/lib/dde* ${KVEL_TCL_PREFIX}/lib/reg*)
set(KVEL_TCL_LIBRARY_DIRS ${KVEL_TCL_PREFIX}/lib/tcl8.6 ${KVEL_TCL_PREFIX}/lib/tcl8
  ${KVEL_TCL_PACKAGE_DIRS})
foreach(dir ${KVEL_TCL_LIBRARY_DIRS})
  if(NOT IS_DIRECTORY ${dir})
    message(FATAL_ERROR "Tcl library folder ${dir} not found: rebuild the MinGW dependencies")
  endif()
endforeach()
list(LENGTH KVEL_TCL_PACKAGE_DIRS package_count)
if(package_count LESS 2)
  message(FATAL_ERROR "Tcl's dde and registry packages not found under ${KVEL_TCL_PREFIX}/lib")
endif()

file(COPY ${KVEL_RUNTIME_DLLS} ${KVEL_TCL_DLLS} DESTINATION ${PROJECT_BINARY_DIR}/bin)
install(FILES ${KVEL_RUNTIME_DLLS} ${KVEL_TCL_DLLS} DESTINATION bin)
install(DIRECTORY ${KVEL_TCL_LIBRARY_DIRS} DESTINATION lib PATTERN "*.a" EXCLUDE)
# The import libraries (*.dll.a) of the packages serve no program.
file(COPY ${KVEL_TCL_LIBRARY_DIRS} DESTINATION ${PROJECT_BINARY_DIR}/lib
  PATTERN "*.a" EXCLUDE)
