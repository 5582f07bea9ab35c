// The two error maps and their walks.
#include "zarn/error_maps.h"

#include <array>

#include "zarn/api_state.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr size_t kQv6Slots = 36;
constexpr size_t kQv800Slots = 100;

template <size_t N>
constexpr std::array<ErrorMapPair, N> Padded(std::initializer_list<ErrorMapPair> pairs, ErrorMapPair end) {
  std::array<ErrorMapPair, N> out{};
  size_t i = 0;
  for (const ErrorMapPair& p : pairs) out[i++] = p;
  for (; i < N; ++i) out[i] = end;
  return out;
}

constexpr auto kQv6Map = Padded<kQv6Slots>(
    {{-1, -615}, {-2, -616},  {-3, -617},  {-4, -618},  {-5, -619},  {1, -620},    {2, -621},
     {5, -622},  {6, -623},   {8, -624},   {12, -625},  {13, -626},  {20, -627},   {21, -628},
     {22, -629}, {24, -630},  {29, -631},  {30, -632},  {31, -633},  {87, -634},   {1114, -635},
     {1117, -636}, {1154, -637}, {1157, -638}, {1164, -639}, {1167, -640}, {1247, -641}, {1248, -642}},
    {0, -1});

constexpr auto kQv800Map = Padded<kQv800Slots>(
    {{62000, -212}, {62001, -217}, {62002, -216}, {62003, -521}, {62003, -521}, {62004, -219},
     {62005, -215}, {62006, -522}, {62007, -550}, {62008, -551}, {62009, -521}, {62010, -613},
     {62020, -125}, {62021, -523}, {62022, -223}, {62023, -224}, {62024, -524}, {62025, -105},
     {62026, -606}, {62027, -102}, {62028, -607}, {62029, -601}, {62030, -609}, {62031, -610},
     {62040, -611}, {62041, -612}, {62042, -518}, {62043, -519}, {62044, -520}, {62100, -548},
     {62101, -203}, {62102, -543}, {62103, -545}, {62104, -516}, {62105, -546}, {62106, -547},
     {62107, -544}, {62108, -205}, {62109, -542}, {62110, -541}, {62111, -540}, {62112, -529},
     {62113, -528}, {62114, -527}, {62115, -526}, {62116, -207}, {62117, -517}, {62118, -206},
     {62119, -602}},
    {-1, 0});

}  // namespace

std::span<const ErrorMapPair> QV6ErrorMap() { return kQv6Map; }
std::span<const ErrorMapPair> QV800ErrorMap() { return kQv800Map; }

int funcQV6ConvertKRStatus(int status) {
  int result = kGeneralCommunication;
  bool matched = false;
  for (const ErrorMapPair& p : kQv6Map) {
    if (p.api == -1) break;  // end marker
    if (p.device == status) {
      result = p.api;
      matched = true;
      break;
    }
  }
  TraceAt(1, "funcQV6ConvertKRStatus#%d: iStatus = %d, iReturn = %d", matched ? 0 : 1, status, result);
  return result;
}

int funcConvertStatus(int status) {
  const int family = Api().scannerFamily;
  if (IsQv800Line(family)) {
    for (const ErrorMapPair& p : kQv800Map) {
      if (p.device == -1) break;  // end marker
      if (p.device == status) return p.api;
    }
    return kScsiComm211;
  }
  if (IsQv600Line(family)) return funcQV6ConvertKRStatus(status);
  return kScsiComm211;
}

}  // namespace zarn
