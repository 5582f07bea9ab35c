// Fuzz entry of the QV62x replies: the identification and identity block, the status block and every
// device block, as any bytes, through the command set and the template (status words, serial ring,
// mechanical sections, configuration data).
#include <array>
#include <vector>

#include "fuzz_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  qv6::fuzz::Bench bench(bytes);
  qv6::Qv702 model(bench.transport);
  std::array<uint8_t, 256> identity{};
  model.ReadIdentity(identity.data(), identity.size());
  int status = 0, errors = 0;
  model.GetStatus(&status, &errors);
  model.PollStatus();
  for (uint16_t type : {4, 64, 65, 66, 67}) {
    const qv6::BlockLayout* layout = model.blocks().table().Find(type);
    model.ReadDeviceBlock(type, layout->size);
  }
  model.TransferMechSections(0);
  std::array<uint8_t, 100> buffer{};
  buffer[0] = 4;
  model.GetCfgData(11, buffer.data(), static_cast<int>(buffer.size()));
  model.GetCfgData(5, buffer.data(), static_cast<int>(buffer.size()));
  int count = static_cast<int>(buffer.size());
  model.Rs232Rx(buffer.data(), &count);
  return 0;
}
