// Private-profile INI files with the Windows semantics the programs rely on.
//
// Reading: sections and keys match without regard to ASCII case after trimming blanks; the first matching
// section and key win. A key line is "key=value" split at the first '='; key and value are trimmed of
// blanks and one pair of enclosing double or single quotes is removed from the value. ';' starts a comment
// only at the start of a line; lines without '=' are not keys. LF and CR LF line ends are both read, and
// so is a last line without a line end. A missing file, section or key gives the default.
//
// Writing replaces an existing key's value in place, adds a missing key after the last key line of its
// section and a missing section at the end of the file, and keeps every other line byte for byte. A null
// value deletes the key; a null key deletes the whole section. An existing file keeps its line-end style;
// a new file gets CR LF. The file is replaced atomically (temporary file and rename).
//
// File names: a name without a folder part lives in the Windows folder (paths.h); others go through the
// path layer. A null name is the default profile in the Windows folder, which is never written, so reads
// from it give their defaults. Parsed files are cached per resolved path and re-read when their size or
// modification time changes, so a batch of reads parses the file once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat {

// One INI file's text as a list of lines, with the read and edit rules above. Used by the file functions
// below; usable on its own for text already in memory.
class IniDocument {
 public:
  IniDocument() = default;
  static IniDocument Parse(std::string_view text);

  // The value of the first matching key of the first matching section (trimmed, quotes removed).
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;
  // Section names as written (trimmed), in file order, each once (first spelling).
  std::vector<std::string> SectionNames() const;
  // Key names of the first matching section, in file order.
  std::vector<std::string> KeyNames(std::string_view section) const;
  // The lines of the first matching section for the section reader: every non-blank, non-comment line,
  // key lines as "key=value" with key and value trimmed, other lines trimmed.
  std::vector<std::string> SectionLines(std::string_view section) const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  // True when something was removed.
  bool DeleteKey(std::string_view section, std::string_view key);
  bool DeleteSection(std::string_view section);

  std::string Serialize() const;
  bool UsesCrLf() const { return crlf_; }

 private:
  struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n", or "" for a last line without one
  };
  // The index range [begin, end) of the first matching section's lines after its header; nullopt if absent.
  std::optional<std::pair<size_t, size_t>> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(size_t begin, size_t end, std::string_view key) const;
  void AppendLine(std::string text);

  std::vector<Line> lines_;
  bool crlf_ = true;  // the line end of added lines: the file's first one, CR LF for a new file
};

// The POSIX path a profile file name stands for (see the file-name rules above); nullopt for the null name.
std::optional<std::string> ProfilePath(const char* fileName);

// ---- Windows-shaped functions
// ------------------------------------------------------------------------------ Copies the value (or the
// default; a null default is "") into buf, cut to size - 1 characters and always NUL-terminated; returns the
// number of characters copied. A null section lists the section names, a null key the section's key names,
// each NUL-terminated with one more NUL at the end (cut lists end in two NULs and return size - 2). Returns 0
// for a null buf or size 0.
uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buf,
                                  uint32_t size, const char* fileName);
// Missing key or empty value -> defaultValue; otherwise blanks, an optional sign and the leading decimal
// digits ("12abc" -> 12, "abc" -> 0, "-1" -> -1), wrapping to 32 bits as the Windows call does.
int32_t GetPrivateProfileIntA(const char* section, const char* key, int32_t defaultValue,
                              const char* fileName);
// The section's lines (see IniDocument::SectionLines), each NUL-terminated, then one more NUL. A section
// larger than the buffer is cut, ends in two NULs, and the result is
// size - 2. Returns 0 for a missing section or file, a null buf or size < 2.
uint32_t GetPrivateProfileSectionA(const char* section, char* buf, uint32_t size, const char* fileName);
// Sets, or with a null value deletes, a key; with a null key deletes the section. Creates a missing file.
// Returns false (the Windows 0) on failure: null section, null or unwritable file.
bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* fileName);

// ---- C++ convenience
// ---------------------------------------------------------------------------------------
std::string ReadProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                              const char* fileName);
int32_t ReadProfileInt(std::string_view section, std::string_view key, int32_t defaultValue,
                       const char* fileName);
// nullopt value deletes the key.
bool WriteProfileString(std::string_view section, std::string_view key, std::optional<std::string_view> value,
                        const char* fileName);
// Several writes to one file in one rewrite: `edit` changes the document, which is then saved once.
bool EditProfile(const char* fileName, const std::function<void(IniDocument&)>& edit);

// The int rule on a value text: blanks, optional sign, leading digits; no digits -> 0.
int32_t ParseProfileInt(std::string_view value);

}  // namespace plat
