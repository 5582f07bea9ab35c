// The release text of the library, "Rev. a.b.c.d" from the library's own version record, or
// "Rev. 0.0.0.0" when the file carries none.
#pragma once

namespace qv6 {

// Logs "QV6GetDllRelease" and returns the static text (at most 80 bytes).
const char* ReleaseText();

}  // namespace qv6
