// The library's own version record, read back by QV6GetDllRelease ("Rev. a.b.c.d"). It lives in the
// shared library's own source so that it is never dropped as an unused static-library member.
#include "platform/version_info.h"

ZC_DEFINE_VERSION_RECORD(QV6_VERSION_MAJOR, QV6_VERSION_MINOR, QV6_VERSION_PATCH, 0, QV6_VERSION_TEXT);
