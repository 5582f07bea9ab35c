// Test helpers: generate a code line's samples with the waveform kit and decode
// them with the device library's entry points.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devicelib/core/micr/micr.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace micrtest {

struct Decoded {
  std::string line;      // format 2, '@' rejects
  int reader = 0;        // 1 CMC-7, 2 E13B
  int passes = 0;        // CMC-7 passes run
  bool trained = false;  // the CMC-7 reader's equaliser learnt the bar shape
};

inline Decoded DecodeWith(const std::vector<uint16_t>& samples, int preset, int rate, int font) {
  qv6::Micr micr;
  micr.Setup(preset, 0, 0, 0, rate, 0, 0.13);
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), font, 0, 0);
  return Decoded{micr.GetCodeline(2, '@'), micr.decoder().last_reader(), micr.decoder().cmc7().passes(),
                 micr.decoder().cmc7().equaliser().trained()};
}

inline std::vector<uint16_t> E13bSamples(std::string_view printed, int preset, int rate,
                                         const micrkit::E13bLayout& layout = {},
                                         const micrkit::Impairments& impairments = {}) {
  return micrkit::SampleTrace(micrkit::E13bTrace(printed, layout), micrkit::FormatForPreset(preset, rate),
                              impairments);
}

inline std::vector<uint16_t> Cmc7Samples(std::string_view printed, int preset, int rate,
                                         const micrkit::Cmc7Layout& layout = {},
                                         const micrkit::Impairments& impairments = {}) {
  return micrkit::SampleTrace(micrkit::Cmc7Trace(printed, layout), micrkit::FormatForPreset(preset, rate),
                              impairments);
}

}  // namespace micrtest
