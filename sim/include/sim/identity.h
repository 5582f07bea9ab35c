// The identity a simulated scanner reports: the texts of its identity block (maker, model, a reserved
// "0", version, serial number, documents, minutes, state) and the codes of its identification reply.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct Identity {
  std::string manufacturer;
  std::string model;
  std::string version = "1.0.0.0";
  std::string serial = "000001";
  int documents = 0;
  int minutes = 0;
  std::string state = "OK";

  // NUL-terminated texts one after another, closed by an empty text.
  std::vector<uint8_t> EncodeBlock() const;
};

// The later series' 20-byte identification reply: product code at byte 10, device code at byte 12 and
// board code at byte 13.
struct IdentificationCodes {
  uint8_t product = 0;
  uint8_t device = 1;
  uint8_t board = 0;

  static constexpr size_t kReplySize = 20;
  std::vector<uint8_t> EncodeReply() const;
};

}  // namespace sim
