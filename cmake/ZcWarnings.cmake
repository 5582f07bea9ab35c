# Warnings every target of the project builds with.
add_library(zc_warnings INTERFACE)
target_compile_options(zc_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor -Wcast-align
  -Wno-missing-field-initializers)
