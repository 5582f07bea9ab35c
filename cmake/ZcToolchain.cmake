# Build speed: the linker. lld links the test programs several times faster than the default linker and
# reads the same flags; without it the default linker is used.
if(NOT DEFINED ZC_USE_LLD)
  find_program(ZC_LLD_PROGRAM ld.lld)
  set(ZC_USE_LLD ${ZC_LLD_PROGRAM})
endif()
if(ZC_USE_LLD)
  add_link_options(-fuse-ld=lld)
endif()
