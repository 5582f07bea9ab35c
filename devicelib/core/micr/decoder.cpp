// Decode pipeline: condition, window, read.
#include "devicelib/core/micr/decoder.h"

#include <algorithm>

namespace micr {

int DecoderFontFromSetting(int micrFontSetting) {
  switch (micrFontSetting) {
    case 0:
      return static_cast<int>(Font::kCmc7);
    case 1:
      return static_cast<int>(Font::kE13b);
    default:
      return static_cast<int>(Font::kAuto);
  }
}

Decoder::Decoder(PresetTable presets)
    : presets_(presets), lowPass_(kCutoff), conditioned_(kMaxSamples), second_(kMaxSamples) {}

void Decoder::Setup(int preset, int mode, int minimum, int maximum, int rate, int direction) {
  setup_ = MakeSetupRecord(presets_, preset, mode, minimum, maximum, rate, direction);
}

void Decoder::Decode(std::span<const uint16_t> samples, int font, int trimEnd, int trimStart) {
  active_ = setup_;
  lastReader_ = Reader::kNone;  // nothing read (empty window, unknown kind or font) gives an empty line
  if (samples.size() > kMaxSamples) samples = samples.first(kMaxSamples);
  count_ = conditioner_.Condition(samples, active_, second_, conditioned_);
  if (active_.kind == SampleKind::kNone) return;  // stale samples are never read

  const auto n = static_cast<long long>(count_);
  auto trimmed = [&](int trim) {
    return std::min<long long>(n, static_cast<long long>(trim) * active_.rate / 10000);
  };
  const long long end = trimEnd > 0 ? n - trimmed(trimEnd) : n;
  const long long begin = trimStart > 0 ? n - trimmed(trimStart) : 0;
  if (begin >= end) return;
  const std::span<uint16_t> window(conditioned_.data() + begin, static_cast<std::size_t>(end - begin));

  switch (font) {
    case static_cast<int>(Font::kCmc7):
      cmc7_.Read(window, second_, lowPass_, false);
      lastReader_ = Reader::kCmc7;
      break;
    case static_cast<int>(Font::kE13b):
      e13b_.Read(window);
      lastReader_ = Reader::kE13b;
      break;
    case static_cast<int>(Font::kAuto):
      if (cmc7_.Read(window, second_, lowPass_, true) == 0) {
        lastReader_ = Reader::kCmc7;
      } else {
        e13b_.Read(window);  // reads the samples as the CMC-7 reader left them, low-passed
        lastReader_ = Reader::kE13b;
      }
      break;
    default:
      break;
  }
}

std::string_view Decoder::Line() const {
  switch (lastReader_) {
    case Reader::kCmc7:
      return cmc7_.line();
    case Reader::kE13b:
      return e13b_.line();
    case Reader::kNone:
      break;
  }
  return {};
}

std::size_t Decoder::Format(int format, char reject, std::span<char> out) const {
  return FormatCodeline(Line(), format, reject, out);
}

}  // namespace micr
