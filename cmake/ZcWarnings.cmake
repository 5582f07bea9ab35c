# Warnings every target of the project builds with.
add_library(zc_warnings INTERFACE)
target_compile_options(zc_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wcast-align -Wno-missing-field-initializers
  $<$<C_COMPILER_ID:GNU>:$<$<COMPILE_LANGUAGE:C>:-Wshadow=local>>
  $<$<CXX_COMPILER_ID:GNU>:$<$<COMPILE_LANGUAGE:CXX>:-Wshadow=local>>
  $<$<CXX_COMPILER_ID:Clang>:$<$<COMPILE_LANGUAGE:CXX>:-Wshadow>>
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
