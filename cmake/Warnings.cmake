# Warnings for all of the project's own targets.
add_compile_options(-Wall -Wextra)
