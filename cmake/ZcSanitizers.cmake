# Sanitizer build: ZC_SANITIZE="address;undefined" or "thread".
if(ZC_SANITIZE)
  string(REPLACE ";" "," _zc_san "${ZC_SANITIZE}")
  add_compile_options(-fsanitize=${_zc_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_zc_san})
endif()

# libFuzzer builds instrument every library, not only the entry points, so coverage guides the search.
if(ZC_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Shared libraries link with --no-undefined so a missing symbol fails the build rather than the caller's
# dlopen. Clang puts the sanitizer and fuzzer runtimes into executables only, leaving a shared library's
# calls into them for the executable to resolve, so there the check has nothing to say.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND (ZC_SANITIZE OR ZC_FUZZ))
  set(ZC_LINK_NO_UNDEFINED "")
else()
  set(ZC_LINK_NO_UNDEFINED "LINKER:--no-undefined")
endif()
