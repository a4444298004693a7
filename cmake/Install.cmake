# Installation layout of the shipped programs.
#
#   bin/                               kvel, dravik, quindle, tarnlet
#   lib/<multiarch>/kvel-frontends/    the stand-in framework libraries, private
#                                      to these programs (lib/kvel-frontends/
#                                      where CMake knows no multiarch name)
#   share/man/man1/                    manual pages, compressed when gzip is found
#   share/bash-completion/completions/ bash completion for kvel
#   share/doc/kvel-frontends/          the bundled examples, copyright, changelog
#
# On Windows (the ZIP):
#
#   bin/          the four programs, the framework DLLs, the MinGW runtime DLLs
#                 and Tcl's DLLs, side by side
#   lib/          Tcl's library, where Tcl looks relative to the program: the
#                 script library tcl8.6/, the module tree tcl8/ and the dde
#                 and registry packages
#   doc/          README.md and the manual pages as plain text
#   examples/     the bundled examples
#
# Included before the programs are defined, so that the RPATH below applies to
# them; the install rules for the targets are added once the whole tree has
# been read (they name targets from several directories).

set(KVEL_INSTALL_BINDIR bin)
# The libraries serve only these programs, so they live in a folder of their
# own rather than beside the system's libraries, where their unversioned
# names could clash.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(KVEL_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/kvel-frontends)
else()
  set(KVEL_INSTALL_LIBDIR lib/kvel-frontends)
endif()
set(KVEL_INSTALL_MANDIR share/man/man1)
set(KVEL_INSTALL_COMPLETIONDIR share/bash-completion/completions)
set(KVEL_INSTALL_DOCDIR share/doc/kvel-frontends)
# The shipped programs, each with its manual page doc/<program>.1.
set(KVEL_SHIPPED_PROGRAMS kvel dravik quindle tarnlet)

# Installed programs find the framework libraries relative to themselves,
# wherever the tree is installed or unpacked, without LD_LIBRARY_PATH; the
# libraries find each other in their own folder.
set(CMAKE_INSTALL_RPATH "$ORIGIN/../${KVEL_INSTALL_LIBDIR}")

# Manual pages as plain text for Windows, made with the build machine's groff.
function(kvel_install_windows_files)
  install(TARGETS ${KVEL_SHIPPED_PROGRAMS} zek_common zek_commonmain
    RUNTIME DESTINATION bin)
  install(FILES ${KVEL_RUNTIME_DLLS} ${KVEL_TCL_DLLS} DESTINATION bin)
  install(DIRECTORY ${KVEL_TCL_LIBRARY_DIRS} DESTINATION lib PATTERN "*.a" EXCLUDE)

  find_program(KVEL_GROFF groff REQUIRED)
  set(pages)
  foreach(page ${KVEL_SHIPPED_PROGRAMS})
    set(text ${PROJECT_BINARY_DIR}/doc/${page}.txt)
    add_custom_command(OUTPUT ${text}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
      COMMAND sh -c "\"$0\" -man -Tascii -P-cbou \"$1\" > \"$2\""
              ${KVEL_GROFF} ${PROJECT_SOURCE_DIR}/doc/${page}.1 ${text}
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/${page}.1 VERBATIM)
    list(APPEND pages ${text})
  endforeach()
  add_custom_target(manual_text ALL DEPENDS ${pages})
  install(FILES ${pages} ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/doc/copyright
    DESTINATION doc)

  if(EXISTS ${PROJECT_SOURCE_DIR}/examples)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples)
  endif()
endfunction()

# Manual pages and the changelog are installed compressed, as Debian wants
# them (gzip -9n: best compression, no name or time stamp in the file).
find_program(KVEL_GZIP gzip)
mark_as_advanced(KVEL_GZIP)

# Compresses `source` into `output` at build time.
function(kvel_gzip_file source output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "\"$0\" -9n -c \"$1\" > \"$2\"" ${KVEL_GZIP} ${source} ${output}
    DEPENDS ${source}
    VERBATIM)
endfunction()

function(kvel_install_shipped_files)
  if(WIN32)
    kvel_install_windows_files()
    return()
  endif()
  # The shipped programs only; the *_double test builds stay in the build tree.
  install(TARGETS ${KVEL_SHIPPED_PROGRAMS}
    RUNTIME DESTINATION ${KVEL_INSTALL_BINDIR})
  install(TARGETS zek_common zek_commonmain
    LIBRARY DESTINATION ${KVEL_INSTALL_LIBDIR})
  set_target_properties(zek_common zek_commonmain PROPERTIES INSTALL_RPATH "$ORIGIN")

  # The changelog's version is the project's.
  set(changelog ${PROJECT_BINARY_DIR}/doc/changelog)
  configure_file(${PROJECT_SOURCE_DIR}/doc/changelog.in ${changelog} @ONLY)
  set(man_pages)
  if(KVEL_GZIP)
    foreach(page ${KVEL_SHIPPED_PROGRAMS})
      set(compressed ${PROJECT_BINARY_DIR}/doc/${page}.1.gz)
      kvel_gzip_file(${PROJECT_SOURCE_DIR}/doc/${page}.1 ${compressed})
      list(APPEND man_pages ${compressed})
    endforeach()
    kvel_gzip_file(${changelog} ${changelog}.gz)
    add_custom_target(compressed_docs ALL DEPENDS ${man_pages} ${changelog}.gz)
    set(changelog ${changelog}.gz)
  else()
    foreach(page ${KVEL_SHIPPED_PROGRAMS})
      list(APPEND man_pages ${PROJECT_SOURCE_DIR}/doc/${page}.1)
    endforeach()
  endif()
  install(FILES ${man_pages} DESTINATION ${KVEL_INSTALL_MANDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/doc/copyright ${changelog}
    DESTINATION ${KVEL_INSTALL_DOCDIR})

  install(FILES ${PROJECT_SOURCE_DIR}/scripts/bash-completion/kvel
    DESTINATION ${KVEL_INSTALL_COMPLETIONDIR})

  if(EXISTS ${PROJECT_SOURCE_DIR}/examples)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
      DESTINATION ${KVEL_INSTALL_DOCDIR}
      USE_SOURCE_PERMISSIONS)
  endif()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kvel_install_shipped_files)
