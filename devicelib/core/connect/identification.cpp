// The identity read of the first series and the identification rules of the later series.
#include "connect/identification.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "app/log.h"
#include "identity/identity_block.h"
#include "transport/driver_interface.h"
#include "transport/scanner_interface.h"
#include "transport/vendor_request.h"

namespace qv6 {
namespace {

constexpr size_t kIdentificationSize = 20;
constexpr size_t kProductAt = 10;
constexpr size_t kDeviceAt = 12;
constexpr size_t kBoardAt = 13;
constexpr size_t kBlockHead = 4;
constexpr size_t kFirstSeriesReply = 256;
constexpr const char* kGenericModel = "Orvisca Scanner Device";
constexpr const char* kBootVersion = "99.99.99.99";
constexpr const char* kBootSerial = "123456";

// ---- The rules of each later series ----

constexpr uint8_t kQv62xBlock[] = {8, 9, 0x21, 0x22};
constexpr BootProduct kQv62xBoot[] = {{28, "Startup"}, {29, "Startup"}};
constexpr CannedRow kQv62xCanned[] = {
    {28, kAnyCode, kAnyCode, "KWL Norda", "KWL Scanner 602"},
    {29, kAnyCode, kAnyCode, "KWL Norda", "KWL Scanner 702"},
};
constexpr GenericRename kQv62xRenames[] = {
    {9, "Orvisca Scanner Qv620"}, {0x21, "KWL Scanner 602"}, {0x22, "KWL Scanner 702"}};

constexpr uint8_t kQv63xBlock[] = {19, 20, 32, 35};
constexpr BootProduct kQv63xBoot[] = {{22, "DR"}, {23, "SD"}, {30, "SD"}};
constexpr CannedRow kQv63xCanned[] = {
    {kAnyCode, 0x13, kAnyCode, "VEK Corporation", "Orvisca Scanner Qv630"},
    {kAnyCode, 0x14, kAnyCode, "VEK Corporation", "Orvisca Scanner Qv840"},
    {kAnyCode, 0x23, kAnyCode, "KWL Ltd - Norda", "KWL Scanner 603"},
    {kAnyCode, 0x20, kAnyCode, "VEK Corporation", "Orvisca Scanner Qv625"},
    {kAnyCode, 0x0D, kAnyCode, "VEK Corporation", "Orvisca Scanner Qv9120"},
};
constexpr GenericRename kQv63xRenames[] = {
    {19, "Orvisca Scanner Qv630"}, {20, "Orvisca Scanner Qv840"}, {35, "KWL Scanner 603"}};

constexpr uint8_t kQv64xBlock[] = {25};
constexpr BootProduct kQv64xBoot[] = {{23, "SD"}};
constexpr CannedRow kQv64xCanned[] = {{kAnyCode, 0x19, 1, "VEK Corporation", "Orvisca Scanner Qv640"}};
constexpr GenericRename kQv64xRenames[] = {{25, "Orvisca Scanner Qv640"}};

// The boot-loader identity of this series has no state text of its own; "Startup" is the one the
// series' other built identity carries.
constexpr uint8_t kVekBlock[] = {21, 32};
constexpr BootProduct kVekBoot[] = {{24, "Startup"}};
constexpr CannedRow kVekCanned[] = {
    {kAnyCode, 21, 1, "VEK Corp.", "Orvisca Scanner RM 70"},
    {kAnyCode, 32, 1, "VEK Corp.", "Orvisca Scanner RM 70 KF"},
};
constexpr GenericRename kVekRenames[] = {{kAnyCode, "Orvisca Scanner RM 70"}};
constexpr size_t kVekIdentityMax = 118;

constexpr uint8_t kKQv8xBlock[] = {36};
constexpr BootProduct kKQv8xBoot[] = {{31, "NO FW"}};
constexpr CannedRow kKQv8xCanned[] = {{kAnyCode, 36, kAnyCode, "KWL - Norda", "KWL Scanner KQv8"}};
constexpr GenericRename kKQv8xRenames[] = {{31, "KWL Scanner KQv8"}};

constexpr IdentificationRules kQv62x{kQv62xBlock, kQv62xBoot, kQv62xCanned, kQv62xRenames, false, false, 0};
constexpr IdentificationRules kQv63x{kQv63xBlock, kQv63xBoot, kQv63xCanned, kQv63xRenames, false, false, 0};
constexpr IdentificationRules kQv64x{kQv64xBlock, kQv64xBoot, kQv64xCanned, kQv64xRenames, true, false, 0};
constexpr IdentificationRules kVek{kVekBlock, kVekBoot, kVekCanned,     kVekRenames,
                                   false,     true,     kVekIdentityMax};
constexpr IdentificationRules kKQv8x{kKQv8xBlock, kKQv8xBoot, kKQv8xCanned, kKQv8xRenames, false, false, 0};

// ---- Reading ----

bool Matches(int rule, uint8_t code) {
  return rule == kAnyCode || rule == code;
}

int ReadIdentification(DriverDeviceInterface& transport, std::array<uint8_t, kIdentificationSize>& reply) {
  reply.fill(0);
  RequestRecord request;
  request.type = kRequestIdentification;
  return transport.Receive(reply.data(), kIdentificationSize, request);
}

// Builds an identity block from its texts into buffer (cleared to size first); 0 when it cannot be built.
int CopyBuilt(uint8_t* buffer, size_t size, const char* manufacturer, const char* model, const char* version,
              const char* serial, int documents, int minutes, const char* state) {
  CQv6Info info;
  int length = 0;
  const uint8_t* built = info.Build(&length, manufacturer, model, version, serial, documents, minutes, state);
  if (built == nullptr) return 0;
  std::memset(buffer, 0, size);
  std::memcpy(buffer, built, std::min(size, static_cast<size_t>(length)));
  return 1;
}

int CopyNoModel(uint8_t* buffer, size_t size) {
  return CopyBuilt(buffer, size, "No Manufacturer", "No model", "0", kBootSerial, 0, 0, "Startup");
}

// The canned identity of a boot-loader product code; 0 when no row knows the board and device codes.
int CopyCanned(uint8_t* buffer, size_t size, const IdentificationRules& rules, const BootProduct& boot,
               const std::array<uint8_t, kIdentificationSize>& id) {
  for (const CannedRow& row : rules.canned) {
    if (Matches(row.product, id[kProductAt]) && Matches(row.board, id[kBoardAt]) &&
        Matches(row.device, id[kDeviceAt])) {
      return CopyBuilt(buffer, size, row.manufacturer, row.model, kBootVersion, kBootSerial, 0, 0,
                       boot.state);
    }
  }
  return 0;
}

bool IsGeneric(const char* model, bool byPrefix) {
  return byPrefix ? std::strncmp(model, kGenericModel, std::strlen(kGenericModel)) == 0
                  : std::strcmp(model, kGenericModel) == 0;
}

// Reads the identity block (size + 4 bytes) and copies its payload, renaming the generic model text.
int ReadBlock(DriverDeviceInterface& transport, const IdentificationRules& rules, uint8_t* buffer,
              size_t size) {
  std::vector<uint8_t> block(size + kBlockHead, 0);
  RequestRecord request;
  request.type = kRequestBlockIn;
  request.blockInValue = 1;
  int ok = transport.Receive(block.data(), static_cast<uint32_t>(block.size()), request);
  const uint8_t* payload = block.data() + kBlockHead;
  if (ok) {
    CQv6Info info(payload, size);
    std::array<uint8_t, kIdentificationSize> id{};
    if (IsGeneric(info.model(), rules.genericByPrefix) && ReadIdentification(transport, id)) {
      const char* model = info.model();
      for (const GenericRename& rename : rules.renames) {
        if (Matches(rename.product, id[kProductAt])) {
          model = rename.model;
          break;
        }
      }
      if (CopyBuilt(buffer, size, info.manufacturer(), model, info.version(), info.serial(), info.documents(),
                    info.minutes(), info.state())) {
        return 1;
      }
    }
  }
  // A failed read still leaves what arrived (nothing, here) in the caller's buffer.
  std::memcpy(buffer, payload, size);
  return ok;
}

}  // namespace

const IdentificationRules* RulesFor(SeriesId series) {
  switch (series) {
    case SeriesId::kQv62x:
      return &kQv62x;
    case SeriesId::kQv63x:
    case SeriesId::kQv9120:
      return &kQv63x;
    case SeriesId::kQv64x:
      return &kQv64x;
    case SeriesId::kVekQv5xx:
      return &kVek;
    case SeriesId::kKQv8x:
      return &kKQv8x;
    case SeriesId::kFirst:
      break;
  }
  return nullptr;
}

int IdentifyLaterSeries(DriverDeviceInterface& transport, const IdentificationRules& rules, uint8_t* buffer,
                        size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  if (rules.clearFirst) std::memset(buffer, 0, size);
  if (rules.maxSize != 0) size = std::min(size, rules.maxSize);

  std::array<uint8_t, kIdentificationSize> id{};
  if (ReadIdentification(transport, id)) {
    uint8_t product = id[kProductAt];
    if (id[kBoardAt] != 0) {
      g_Log.WriteFormatted(kLogApi, "PCB PID:0x%02X, PID:0x%02X, DID:0x%02X\n", product, id[kBoardAt],
                           id[kDeviceAt]);
    } else {
      g_Log.WriteFormatted(kLogApi, "PID:0x%02X, DID:0x%02X\n", product, id[kDeviceAt]);
    }
    bool readsBlock = std::find(rules.blockProducts.begin(), rules.blockProducts.end(), product) !=
                      rules.blockProducts.end();
    if (!readsBlock) {
      for (const BootProduct& boot : rules.bootProducts) {
        if (boot.product == product) return CopyCanned(buffer, size, rules, boot, id);
      }
      return CopyNoModel(buffer, size);
    }
  }
  // The identification failed, or the product runs its firmware: the identity block decides.
  return ReadBlock(transport, rules, buffer, size);
}

int ReadFirstSeriesIdentity(ScannerInterface& transport, uint8_t* buffer, size_t length) {
  if (buffer != nullptr) std::memset(buffer, 0, length);
  static constexpr uint8_t kCommand[] = {8, 1, 0, 0, 0};
  std::array<uint8_t, kFirstSeriesReply> reply{};
  int received = 0;
  if (!transport.Transact(kCommand, sizeof kCommand, reply.data(), kFirstSeriesReply, &received)) return 0;
  if (received <= 0) return 0;
  auto n = std::min(static_cast<size_t>(received), reply.size());
  if (buffer != nullptr && n > kBlockHead) {
    std::memcpy(buffer, reply.data() + kBlockHead, std::min(length, n - kBlockHead));
  }
  return 1;
}

}  // namespace qv6
