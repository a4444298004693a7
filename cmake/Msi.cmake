# The Windows installer: CPack's External generator stages the installed tree
# (the files of the ZIP) and runs cmake/windows/make-msi.cmake on it, which
# builds the MSI with msitools (wixl, wixl-heat, msibuild) from
# cmake/windows/kvel-frontends.wxs. `cpack -G External` in the build folder
# makes it alone. Included by Packaging.cmake on Windows.
find_program(KVEL_WIXL wixl)
find_program(KVEL_WIXL_HEAT wixl-heat)
find_program(KVEL_MSIBUILD msibuild)
mark_as_advanced(KVEL_WIXL KVEL_WIXL_HEAT KVEL_MSIBUILD)
if(NOT (KVEL_WIXL AND KVEL_WIXL_HEAT AND KVEL_MSIBUILD))
  message(STATUS "No MSI installer: msitools missing (scripts/install-deps.sh windows)")
  return()
endif()

list(APPEND CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/windows/make-msi.cmake)
set(CPACK_KVEL_WIXL ${KVEL_WIXL})
set(CPACK_KVEL_WIXL_HEAT ${KVEL_WIXL_HEAT})
set(CPACK_KVEL_MSIBUILD ${KVEL_MSIBUILD})
set(CPACK_KVEL_MSI_SOURCE ${PROJECT_SOURCE_DIR}/cmake/windows/kvel-frontends.wxs)
set(CPACK_KVEL_MSI_PRODUCT "kvel front ends")
