// The numeric and string parameter tables and the API calls that set and read them.
//
// Both tables are generated from one catalogue data file. A numeric record holds its value in the table's
// internal form (resolution index, inverted black-and-white flag, inverted thresholds); ZARNSetParam and
// ZARNGetParam convert, the table getters do not. Parameters are set and read on the API thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zarn {

inline constexpr uint32_t kEndOfTable = 0xFFFFFFFFu;
inline constexpr size_t kParamRecords = 157;
inline constexpr size_t kStringParamRecords = 14;
inline constexpr size_t kStringParamSize = 256;  // value buffers: at most 255 characters and the NUL

struct ZarnParamRecord {
  uint32_t id;
  const char* section;  // device-file section; "" for records without one
  char key[40];         // device-file key (may be empty)
  int32_t previous;     // value found in the device file at the last table-driven load
  int32_t value;        // current value, internal form
  int32_t flag;         // 1: part of the QV600 driver configuration
};

struct ZarnStringParamRecord {
  uint32_t id;
  const char* section;  // "" for the path parameters
  char key[40];
  char defaultValue[kStringParamSize];
  char value[kStringParamSize];
};

// The 157 records and the end record.
std::span<ZarnParamRecord> ZarnParamTable();
// The 14 records and the end record.
std::span<ZarnStringParamRecord> ZarnStringParamTable();

// API calls.
int ZARNSetParam(int id, int value);
int ZARNGetParam(int id);
int ZARNReadConfig(const char* path);
int ZARNWriteConfig(const char* path);

// Table operations (internal form, no conversions).
int funcTableSetParam(int id, int value);
int funcTableGetParam(int id);
int funcTableSetParamString(int id, const char* text);
// The record's 256-byte value buffer, or null for an id not in the table.
char* funcTableGetParamString(int id);

// State kept beside the tables.
int Qv630Mode();                    // 100 at load; changed only through parameter 163
bool DriverWriteThrough();          // a flagged change on the QV600 line rewrites the driver file at once
void SetDriverWriteThrough(bool on);
int KelvoJpeg();                    // "Kelvo JPEG" of the API INI file, read by the JPEG writer
void SetKelvoJpeg(int value);
const char* PrintFileName();        // last value stored for 35 or 112
const char* FontFileName();         // last value stored for 83 or 113

// Restores every table value and the state above to the load values (for tests).
void ResetParamsForTests();

}  // namespace zarn
