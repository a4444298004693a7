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
# them; each directory installs its own targets and files next to where it
# defines them (the documents in doc/CMakeLists.txt).

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
