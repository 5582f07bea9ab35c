// IniDocument: the line model of a private-profile file, its read rules and its in-place edits.
#include "platform/ini.h"
#include "platform/text.h"

namespace plat {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The section name of a header line ("[name]", blanks allowed around), or nullopt for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  std::string_view name = t.substr(1);
  const size_t close = name.find(']');
  if (close != std::string_view::npos) name = name.substr(0, close);
  return Trim(name);
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

// Splits a key line at its first '='; nullopt for comments, headers and lines without '='.
std::optional<KeyLine> SplitKey(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  bool styleSeen = false;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    Line line;
    if (nl == std::string_view::npos) {
      line.text = std::string(text.substr(pos));
      pos = text.size();
    } else {
      size_t end = nl;
      if (end > pos && text[end - 1] == '\r') --end;
      line.text = std::string(text.substr(pos, end - pos));
      line.end = std::string(text.substr(end, nl + 1 - end));
      if (!styleSeen) {
        doc.crlf_ = line.end == "\r\n";
        styleSeen = true;
      }
      pos = nl + 1;
    }
    doc.lines_.push_back(std::move(line));
  }
  return doc;
}

std::optional<std::pair<size_t, size_t>> IniDocument::FindSection(std::string_view section) const {
  const std::string_view wanted = Trim(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i].text);
    if (!name || !EqualNoCase(*name, wanted)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end].text)) ++end;
    return std::make_pair(i + 1, end);
  }
  return std::nullopt;
}

std::optional<size_t> IniDocument::FindKey(size_t begin, size_t end, std::string_view key) const {
  const std::string_view wanted = Trim(key);
  for (size_t i = begin; i < end; ++i) {
    const auto kv = SplitKey(lines_[i].text);
    if (kv && EqualNoCase(kv->key, wanted)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const auto range = FindSection(section);
  if (!range) return std::nullopt;
  const auto at = FindKey(range->first, range->second, key);
  if (!at) return std::nullopt;
  return std::string(Unquote(SplitKey(lines_[*at].text)->value));
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindSection(section).has_value();
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    const auto name = SectionName(line.text);
    if (!name) continue;
    bool seen = false;
    for (const std::string& n : names) seen = seen || EqualNoCase(n, *name);
    if (!seen) names.emplace_back(*name);
  }
  return names;
}

std::vector<std::string> IniDocument::KeyNames(std::string_view section) const {
  std::vector<std::string> keys;
  const auto range = FindSection(section);
  if (!range) return keys;
  for (size_t i = range->first; i < range->second; ++i) {
    if (const auto kv = SplitKey(lines_[i].text)) keys.emplace_back(kv->key);
  }
  return keys;
}

std::vector<std::string> IniDocument::SectionLines(std::string_view section) const {
  std::vector<std::string> out;
  const auto range = FindSection(section);
  if (!range) return out;
  for (size_t i = range->first; i < range->second; ++i) {
    const std::string_view t = Trim(lines_[i].text);
    if (t.empty() || t.front() == ';') continue;
    if (const auto kv = SplitKey(t)) {
      out.push_back(std::string(kv->key) + "=" + std::string(kv->value));
    } else {
      out.emplace_back(t);
    }
  }
  return out;
}

void IniDocument::AppendLine(std::string text) {
  const std::string end = crlf_ ? "\r\n" : "\n";
  if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = end;
  lines_.push_back(Line{std::move(text), end});
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string keyText(Trim(key));
  const auto range = FindSection(section);
  if (!range) {
    AppendLine("[" + std::string(Trim(section)) + "]");
    AppendLine(keyText + "=" + std::string(value));
    return;
  }
  if (const auto at = FindKey(range->first, range->second, key)) {
    // Keep the file's spelling of the key; only the value changes.
    Line& line = lines_[*at];
    line.text = std::string(SplitKey(line.text)->key) + "=" + std::string(value);
    return;
  }
  size_t insertAt = range->first;
  for (size_t i = range->first; i < range->second; ++i) {
    if (SplitKey(lines_[i].text)) insertAt = i + 1;
  }
  const std::string end = crlf_ ? "\r\n" : "\n";
  if (insertAt == lines_.size()) {
    AppendLine(keyText + "=" + std::string(value));
  } else {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  Line{keyText + "=" + std::string(value), end});
  }
  // A header that ended the file without a line end gets one before the new key.
  if (insertAt > 0 && lines_[insertAt - 1].end.empty()) lines_[insertAt - 1].end = end;
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
  const auto range = FindSection(section);
  if (!range) return false;
  const auto at = FindKey(range->first, range->second, key);
  if (!at) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*at));
  return true;
}

bool IniDocument::DeleteSection(std::string_view section) {
  const auto range = FindSection(section);
  if (!range) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->first - 1),
               lines_.begin() + static_cast<std::ptrdiff_t>(range->second));
  return true;
}

std::string IniDocument::Serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.end;
  }
  return out;
}

int32_t ParseProfileInt(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  uint32_t n = 0;  // unsigned, so long digit runs wrap instead of overflowing
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
    n = n * 10u + static_cast<uint32_t>(value[i] - '0');
  if (negative) n = 0u - n;
  return static_cast<int32_t>(n);
}

}  // namespace plat
