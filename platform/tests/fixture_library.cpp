// A small shared library for the loader and version-record tests, installed under a Windows-style name.
#include "platform/version_info.h"

ZC_DEFINE_VERSION_RECORD(2, 1, 0, 7, "2.1.0.7");

extern "C" __attribute__((visibility("default"))) int PlatFixtureAnswer() {
  return 42;
}
