// The scanner-manager record file "zarnapi.txt" (I, D and E lines ending in CR LF) and the device
// library's version number that its start record carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zarn {

inline constexpr size_t kRecordLineMax = 510;

// Appends one record (cut to 510 characters) to the record file, opening it on first use and trimming it
// to the "Remote Monitor Log Size" setting then; "EXIT" closes it.
void FerloWriteRecord(const char* text);
// The record file's name: the temporary folder and "zarnapi.txt", "c:\zarnapi.txt" without one.
std::string RecordFileName();

// What a trim keeps of the file's last bytes `tail`: from the first "I" that starts a line (at the start
// when the byte before the tail ends a line) to the end; empty when there is none.
std::string_view RecordTrimKeep(std::string_view tail, bool startsLine);
// Trims the file to at most `limit` bytes the same way; a limit of 0 or less, or a missing file, changes nothing.
void TrimRecordFile(const std::string& posixPath, int64_t limit);

// N x 100 + D from the UTF-16LE "FileVersion" value in `data` (N the first three digits, D the fourth);
// 0 without a match. Every access stays inside `data`.
int Qv6VersionFromBytes(const uint8_t* data, size_t size);
// The version of "qv6dll.dll" in the current folder, 0 when it cannot be read.
int funcGetQv6DllVersion();

}  // namespace zarn
