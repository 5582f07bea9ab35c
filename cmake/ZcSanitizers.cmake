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
