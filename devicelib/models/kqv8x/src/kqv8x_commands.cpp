// The KQv8x command set.
#include "qv6/kqv8x/kqv8x_commands.h"

#include "connect/identification.h"

namespace qv6 {
namespace {

std::span<const OpcodeSpec> KQv8xOpcodes() {
  // The QV63x table without the franker (12).
  static constexpr OpcodeSpec kTable[] = {{1, 5}, {2, 0}, {3, 0}, {4, 0},  {5, 2},
                                          {7, 0}, {8, 1}, {9, 2}, {10, 2}, {11, 2}};
  return kTable;
}

int Sixteen(int length) {
  return length & 0xFFFF;
}

}  // namespace

const CommandSetTraits& KQv8xCommands::KQv8xTraits() {
  static const CommandSetTraits traits{"KQv8FWLoadertoUpload.bin", KQv8xOpcodes(), kEepromLimit, 8191,
                                       SeriesId::kKQv8x};
  return traits;
}

int KQv8xCommands::Identify(uint8_t* buffer, size_t size) {
  const int result = IdentifyLaterSeries(transport(), *RulesFor(traits().identification), buffer, size);
  // A block cut to the caller's size still ends its last text and the list.
  if (result != 0 && buffer != nullptr && size >= 2) {
    buffer[size - 1] = 0;
    buffer[size - 2] = 0;
  }
  return result;
}

int KQv8xCommands::WriteData(const uint8_t* data, int length) {
  return Qv63xCommands::WriteData(data, Sixteen(length));
}

int KQv8xCommands::ReadData(uint8_t* buffer, int length) {
  return Qv63xCommands::ReadData(buffer, Sixteen(length));
}

}  // namespace qv6
