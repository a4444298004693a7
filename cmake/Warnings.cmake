# Warnings for all of the project's own targets; errors where KVEL_WERROR is
# on (continuous integration sets it in the environment).
add_compile_options(-Wall -Wextra)
if(DEFINED ENV{KVEL_WERROR} AND "$ENV{KVEL_WERROR}")
  set(CMAKE_COMPILE_WARNING_AS_ERROR ON)
endif()
