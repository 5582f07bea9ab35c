// The connect probe's identification and model tests, series by series, over the real transports.
#include "connect_probe.h"

#include <cstring>
#include <memory>
#include <vector>

#include "transport/driver_interface.h"
#include "transport/scanner_interface.h"

namespace sim::testing {
namespace {

constexpr size_t kIdentitySize = 256;
constexpr size_t kVekIdentitySize = 118;

// Field 1 (the model text) of an identity block, never reading past `size` bytes.
std::string ModelText(const std::vector<uint8_t>& block) {
  size_t i = 0;
  while (i < block.size() && block[i] != 0) ++i;
  ++i;
  std::string text;
  while (i < block.size() && block[i] != 0) text += static_cast<char>(block[i++]);
  return text;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

enum class Decision { kReadBlock, kCanned, kNoModel, kFail };

// What a series' command set makes of the identification codes (product, device, board).
Decision Decide(Series series, uint8_t product, uint8_t device, uint8_t board, std::string* canned) {
  switch (series) {
    case Series::kQv62x:
      if (product == 8 || product == 9 || product == 0x21 || product == 0x22) return Decision::kReadBlock;
      if (product == 28 || product == 29) {
        *canned = product == 28 ? "KWL Scanner 602" : "KWL Scanner 702";
        return Decision::kCanned;
      }
      return Decision::kNoModel;
    case Series::kQv63x:
    case Series::kQv9120:
      if (product == 19 || product == 20 || product == 32 || product == 35) return Decision::kReadBlock;
      if (product == 22 || product == 23 || product == 30) {
        switch (board) {
          case 0x13:
            *canned = "Orvisca Scanner Qv630";
            return Decision::kCanned;
          case 0x14:
            *canned = "Orvisca Scanner Qv840";
            return Decision::kCanned;
          case 0x23:
            *canned = "KWL Scanner 603";
            return Decision::kCanned;
          case 0x20:
            *canned = "Orvisca Scanner Qv625";
            return Decision::kCanned;
          case 0x0D:
            *canned = "Orvisca Scanner Qv9120";
            return Decision::kCanned;
          default:
            return Decision::kFail;
        }
      }
      return Decision::kNoModel;
    case Series::kQv64x:
      if (product == 25) return Decision::kReadBlock;
      if (product == 23) {
        if (board != 0x19 || device != 1) return Decision::kFail;
        *canned = "Orvisca Scanner Qv640";
        return Decision::kCanned;
      }
      return Decision::kNoModel;
    case Series::kVekQv5xx:
      if (product == 21 || product == 32) return Decision::kReadBlock;
      if (product == 24) {
        if (device == 1 && (board == 21 || board == 32)) {
          *canned = board == 21 ? "Orvisca Scanner RM 70" : "Orvisca Scanner RM 70 KF";
          return Decision::kCanned;
        }
        return Decision::kFail;
      }
      return Decision::kNoModel;
    case Series::kKQv8x:
      if (product == 36) return Decision::kReadBlock;
      if (product == 31) {
        if (board != 36) return Decision::kFail;
        *canned = "KWL Scanner KQv8";
        return Decision::kCanned;
      }
      return Decision::kNoModel;
    default:
      return Decision::kFail;
  }
}

// The identify operation of a later series: false when it fails; `model` gets the identity's model text.
bool IdentifyLater(Series series, qv6::DriverDeviceInterface& iface, std::string* model) {
  size_t size = series == Series::kVekQv5xx ? kVekIdentitySize : kIdentitySize;
  qv6::RequestRecord identification;
  identification.type = qv6::kRequestIdentification;
  uint8_t reply[20] = {};
  if (iface.Receive(reply, sizeof reply, identification)) {
    switch (Decide(series, reply[10], reply[12], reply[13], model)) {
      case Decision::kCanned:
        return true;
      case Decision::kNoModel:
        *model = "No model";
        return true;
      case Decision::kFail:
        return false;
      case Decision::kReadBlock:
        break;
    }
  }
  qv6::RequestRecord blockIn;
  blockIn.type = qv6::kRequestBlockIn;
  blockIn.blockInValue = 1;
  std::vector<uint8_t> block(size + 4, 0);
  if (!iface.Receive(block.data(), static_cast<uint32_t>(block.size()), blockIn)) return false;
  *model = ModelText({block.begin() + 4, block.end()});
  return true;
}

std::optional<Detection> MatchModel(Series series, const std::string& text) {
  struct Row {
    Series series;
    const char* prefix;
    const char* modelClass;
    const char* key;
  };
  static const Row kRows[] = {
      {Series::kQv62x, "Orvisca Scanner Qv620", "Qv620", "QV620_Firmw"},
      {Series::kQv62x, "Orvisca Scanner Qv602", "Qv602", "QV602_Firmw"},
      {Series::kQv62x, "KWL Scanner 602", "Qv602", "QV602_Firmw"},
      {Series::kQv62x, "KWL Scanner 702", "Qv702", "QV702_Firmw"},
      {Series::kQv63x, "KWL Scanner 603", "Qv603", "QV603_Firmw"},
      {Series::kQv63x, "Orvisca Scanner Qv630", "Qv630", "QV630_Firmw"},
      {Series::kQv63x, "Orvisca Scanner Qv840", "Qv840", "QV840_Firmw"},
      {Series::kQv63x, "Orvisca Scanner Qv625", "Qv625", "QV625_Firmw"},
      {Series::kQv64x, "Orvisca Scanner Qv640", "Qv640", "QV640_Firmw"},
      {Series::kQv9120, "Orvisca Scanner Qv9120", "Qv9120", "QV9120_Firmw"},
      {Series::kKQv8x, "KWL Scanner KQv8", "KQv8", "KQV8_Firmw"},
  };
  if (series == Series::kFirst) {
    return Detection{series, StartsWith(text, "Orvisca Scanner Qv600") ? "Qv600" : "Qv605", ""};
  }
  if (series == Series::kVekQv5xx && StartsWith(text, "Orvisca Scanner RM 70")) {
    return Detection{series, "VEKQv500", text == "Orvisca Scanner RM 70 KF" ? "RM70KF_Firmw" : "RM70_Firmw"};
  }
  for (const auto& row : kRows) {
    if (row.series == series && StartsWith(text, row.prefix))
      return Detection{series, row.modelClass, row.key};
  }
  return std::nullopt;
}

std::unique_ptr<qv6::DriverDeviceInterface> LaterInterface(Series series) {
  switch (series) {
    case Series::kQv62x:
      return std::make_unique<qv6::ScannerQV62xInterface>();
    case Series::kQv64x:
      return std::make_unique<qv6::ScannerQV64xInterface>();
    case Series::kVekQv5xx:
      return std::make_unique<qv6::ScannerVEKQv5xxInterface>();
    case Series::kKQv8x:
      return std::make_unique<qv6::ScannerKQv8xInterface>();
    default:
      return std::make_unique<qv6::ScannerQV63xInterface>();
  }
}

}  // namespace

std::optional<Detection> RunConnectProbe() {
  {
    qv6::ScannerInterface first;
    if (first.Open()) {
      const uint8_t command[5] = {8, 1, 0, 0, 0};
      std::vector<uint8_t> reply(kIdentitySize, 0);
      int length = 0;
      if (first.Transact(command, 5, reply.data(), kIdentitySize, &length) && length > 4) {
        reply.resize(static_cast<size_t>(length));
        return MatchModel(Series::kFirst, ModelText({reply.begin() + 4, reply.end()}));
      }
    }
  }
  for (Series series :
       {Series::kQv62x, Series::kQv63x, Series::kQv64x, Series::kQv9120, Series::kVekQv5xx, Series::kKQv8x}) {
    auto iface = LaterInterface(series);
    if (!iface->Open()) continue;
    std::string model;
    if (IdentifyLater(series, *iface, &model)) {
      if (auto found = MatchModel(series, model)) return found;
    }
    iface->Close();
  }
  return std::nullopt;
}

}  // namespace sim::testing
