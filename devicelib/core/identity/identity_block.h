// QV6IdentityBlock: the scanner's identity as NUL-terminated texts one after another, ended by an empty
// text. Fields: 0 manufacturer, 1 model, 2 reserved ("0" in built blocks), 3 version text, 4 serial
// number, 5 documents scanned (digits), 6 running minutes (digits), 7 state text.
//
// CQv6Info parses such a block into named fields and builds one from separate values. Parsing works on
// a private NUL-terminated copy of the block, so a device reply without a terminator can never be read
// past its length, and the parsed fields stay valid however long the caller keeps its own buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qv6 {

class CQv6Info {
 public:
  static constexpr size_t kBuildBufferSize = 1000;

  CQv6Info();
  CQv6Info(const uint8_t* block, size_t length);
  virtual ~CQv6Info() = default;

  CQv6Info(const CQv6Info&) = delete;
  CQv6Info& operator=(const CQv6Info&) = delete;

  // Field n of a block: its text from the first character after n NULs, up to its NUL or the length.
  // The empty text once a pair of NULs in a row (the block's end) or the length is reached first.
  static std::string_view FindField(const uint8_t* block, int n, size_t length);

  // Field n read as value * 10 + (character AND 0x0F) for each character, with no digit check (so "12a"
  // reads 121). Saturates at INT32_MAX instead of overflowing.
  static int GetNumber(const uint8_t* block, int n, size_t length);

  // Replaces the fields with those of the block.
  void Parse(const uint8_t* block, size_t length);

  // Writes manufacturer, model, "0", version, serial, documents and minutes in decimal, and state, each
  // with its NUL, then two more NULs; parses the result. Returns the built block and its length, or
  // nullptr with length 0 when the texts do not fit the 1000-byte build buffer. NULL texts count as empty.
  const uint8_t* Build(int* length, const char* manufacturer, const char* model, const char* version,
                       const char* serial, int documents, int minutes, const char* state);

  // The packed version a.b.c.d found in a text (0 when there is none).
  static uint64_t ParseVersion(std::string_view text);

  const char* manufacturer() const { return manufacturer_; }
  const char* model() const { return model_; }
  const char* version() const { return version_; }
  const char* serial() const { return serial_; }
  const char* state() const { return state_; }
  int documents() const { return documents_; }
  int minutes() const { return minutes_; }

 private:
  const char* Text(int n) const;

  std::vector<char> block_;  // the parsed block plus one NUL of our own
  const char* manufacturer_;
  const char* state_;
  const char* model_;
  const char* version_;
  const char* serial_;
  int documents_ = 0;
  int minutes_ = 0;
};

}  // namespace qv6
