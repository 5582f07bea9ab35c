// Encoding of the identity block and of the identification reply.
#include "sim/identity.h"

namespace sim {

std::vector<uint8_t> Identity::EncodeBlock() const {
  std::vector<uint8_t> block;
  auto text = [&block](const std::string& value) {
    block.insert(block.end(), value.begin(), value.end());
    block.push_back(0);
  };
  text(manufacturer);
  text(model);
  text("0");
  text(version);
  text(serial);
  text(std::to_string(documents));
  text(std::to_string(minutes));
  text(state);
  block.push_back(0);
  return block;
}

std::vector<uint8_t> IdentificationCodes::EncodeReply() const {
  std::vector<uint8_t> reply(kReplySize, 0);
  reply[10] = product;
  reply[12] = device;
  reply[13] = board;
  return reply;
}

}  // namespace sim
