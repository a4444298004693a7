# Installation layout of the shipped programs.
#
#   bin/                               kvel, dravik, quindle, tarnlet
#   lib/                               the stand-in framework libraries
#   share/man/man1/                    manual pages
#   share/bash-completion/completions/ bash completion for kvel
#   share/doc/kvel-frontends/          the bundled examples
#
# Included before the programs are defined, so that the RPATH below applies to
# them; the install rules for the targets are added once the whole tree has
# been read (they name targets from several directories).

set(KVEL_INSTALL_BINDIR bin)
set(KVEL_INSTALL_LIBDIR lib)
set(KVEL_INSTALL_MANDIR share/man/man1)
set(KVEL_INSTALL_COMPLETIONDIR share/bash-completion/completions)
set(KVEL_INSTALL_DOCDIR share/doc/kvel-frontends)

# Installed programs find the framework libraries next to themselves, wherever
# the tree is installed or unpacked, without LD_LIBRARY_PATH.
set(CMAKE_INSTALL_RPATH "$ORIGIN/../${KVEL_INSTALL_LIBDIR}")

function(kvel_install_shipped_files)
  # The shipped programs only; the *_double test builds stay in the build tree.
  install(TARGETS kvel dravik quindle tarnlet
    RUNTIME DESTINATION ${KVEL_INSTALL_BINDIR})
  install(TARGETS zek_common zek_commonmain
    LIBRARY DESTINATION ${KVEL_INSTALL_LIBDIR})

  install(FILES
      ${PROJECT_SOURCE_DIR}/doc/kvel.1
      ${PROJECT_SOURCE_DIR}/doc/dravik.1
      ${PROJECT_SOURCE_DIR}/doc/quindle.1
      ${PROJECT_SOURCE_DIR}/doc/tarnlet.1
    DESTINATION ${KVEL_INSTALL_MANDIR})

  install(FILES ${PROJECT_SOURCE_DIR}/scripts/bash-completion/kvel
    DESTINATION ${KVEL_INSTALL_COMPLETIONDIR})

  if(EXISTS ${PROJECT_SOURCE_DIR}/examples)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
      DESTINATION ${KVEL_INSTALL_DOCDIR}
      USE_SOURCE_PERMISSIONS)
  endif()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kvel_install_shipped_files)
