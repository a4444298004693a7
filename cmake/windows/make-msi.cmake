# Run by CPack's External generator (cmake/Msi.cmake) on the staged install
# tree, the same files as the ZIP: the Windows installer
# <name>-<version>-win64.msi, made with msitools.
#
# An MSI's version has three fields, at most 255.255.65535, and only these
# three compare. The project's version YYYY.N[.P] becomes (YYYY-2000).N.P:
# 2017.2 is 17.2.0. The product's name carries the project's version.

foreach(tool WIXL WIXL_HEAT MSIBUILD)
  if(NOT CPACK_KVEL_${tool})
    message(FATAL_ERROR "make-msi: CPACK_KVEL_${tool} is not set")
  endif()
endforeach()

if(NOT CPACK_PACKAGE_VERSION MATCHES "^([0-9]+)\\.([0-9]+)(\\.([0-9]+))?$")
  message(FATAL_ERROR "make-msi: version '${CPACK_PACKAGE_VERSION}' is not YYYY.N or YYYY.N.P")
endif()
math(EXPR msi_major "${CMAKE_MATCH_1} - 2000")
math(EXPR msi_minor "${CMAKE_MATCH_2} + 0")
set(msi_build 0)
if(CMAKE_MATCH_4)
  math(EXPR msi_build "${CMAKE_MATCH_4} + 0")
endif()
if(msi_major LESS 0 OR msi_major GREATER 255 OR msi_minor GREATER 255 OR msi_build GREATER 65535)
  message(FATAL_ERROR "make-msi: version '${CPACK_PACKAGE_VERSION}' has no MSI version "
                      "(years 2000 to 2255, N up to 255, P up to 65535)")
endif()
set(msi_version ${msi_major}.${msi_minor}.${msi_build})

set(stage ${CPACK_TEMPORARY_DIRECTORY})
if(NOT EXISTS ${stage}/bin/kvel.exe)
  message(FATAL_ERROR "make-msi: no bin/kvel.exe in the staged tree ${stage}")
endif()
set(work ${CPACK_TOPLEVEL_DIRECTORY}/msi)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

# Every file of the tree, one component each, under INSTALLDIR; wixl takes
# the files' paths relative to the tree.
file(GLOB_RECURSE files LIST_DIRECTORIES false ${stage}/*)
list(SORT files)
list(JOIN files "\n" file_lines)
file(WRITE ${work}/files.txt "${file_lines}\n")
execute_process(
  COMMAND ${CPACK_KVEL_WIXL_HEAT} --prefix ${stage}/ --component-group InstalledTree
          --var var.SourceDir --directory-ref INSTALLDIR --win64
  INPUT_FILE ${work}/files.txt OUTPUT_FILE ${work}/tree.wxs RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make-msi: wixl-heat failed (${status})")
endif()

set(msi ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-win64.msi)
execute_process(
  COMMAND ${CPACK_KVEL_WIXL} -a x64 -o ${msi}
          -D Win64=yes -D SourceDir=. -D Version=${CPACK_PACKAGE_VERSION}
          -D MsiVersion=${msi_version} -D ProductName=${CPACK_KVEL_MSI_PRODUCT}
          -D Manufacturer=${CPACK_PACKAGE_VENDOR}
          ${CPACK_KVEL_MSI_SOURCE} ${work}/tree.wxs
  WORKING_DIRECTORY ${stage} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make-msi: wixl failed (${status})")
endif()

# The program folder appended to the system PATH on install and taken out on
# uninstall: a row of the Environment table ("=" set on install, "-" remove
# on uninstall, "*" the system's variable, "[~];" append to the value there)
# and the two actions that read it.
file(WRITE ${work}/Environment.idt
  "Environment\tName\tValue\tComponent_\ns72\tl255\tL255\ts72\nEnvironment\tEnvironment\n"
  "PathEntry\t=-*PATH\t[~];[INSTALLDIR]bin\tPathEntry\n")
foreach(step
    "-i;${work}/Environment.idt"
    "-q;INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)"
    "-q;INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)")
  execute_process(COMMAND ${CPACK_KVEL_MSIBUILD} ${msi} ${step} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "make-msi: msibuild ${step} failed (${status})")
  endif()
endforeach()

set(CPACK_EXTERNAL_BUILT_PACKAGES ${msi})
