# Debian package of the installed tree (cpack -G DEB, or the `package` target).
#
# Runtime dependencies come from dpkg-shlibdeps when it is available (it reads
# the libraries the programs actually link); without it, or with
# KVEL_PACKAGE_SHLIBDEPS=OFF, the fixed list below, which is what
# dpkg-shlibdeps finds on Debian 12.

# On Windows: a ZIP of the installed tree (cpack -G ZIP) and, where msitools
# is installed, an MSI installer of the same files (cmake/Msi.cmake).
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  include(Msi)
else()
  set(CPACK_GENERATOR DEB)
endif()
set(CPACK_PACKAGE_NAME kvel-frontends)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "kvel front-end developers")
set(CPACK_PACKAGE_CONTACT "kvel front-end developers <maintainers@kvel-frontends.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Command-line front ends of an HDL design and simulation suite")
# Lines of at most 80 characters, as Debian's control file wants them.
set(CPACK_PACKAGE_DESCRIPTION
  "kvel starts a simulation of an elaborated snapshot, dravik and quindle start
the design suite and its usage-statistics tool, and tarnlet prints the network
proxy settings. A stand-in for the suite's framework libraries, a Tcl 8.6
shell, is included.")
# Programs and libraries are stripped in the package, as Debian wants them.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

option(KVEL_PACKAGE_SHLIBDEPS "Compute the package's dependencies with dpkg-shlibdeps" ON)
find_program(KVEL_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(KVEL_DPKG_SHLIBDEPS)
if(KVEL_PACKAGE_SHLIBDEPS AND KVEL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libboost-filesystem1.74.0 (>= 1.74.0+ds1), libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 11), libtcl8.6 (>= 8.6.0)")
endif()

# Source archive (package_source): the tracked tree, without build trees.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/[.]git/" "/build/" "/build-[^/]*/" "/_CPack_Packages/")

include(CPack)
