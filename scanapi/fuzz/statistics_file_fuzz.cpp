// A statistics file from outside: init on it, then both listings of it.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/paths.h"
#include "zarn/statistics.h"

namespace {

// The listings also append to "Stat.log" in the current folder: keep that in a scratch folder.
const std::string& Scratch() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/zarn_stats_fuzzXXXXXX";
    const char* d = mkdtemp(tmpl);
    std::string path = d != nullptr ? d : "/tmp";
    if (chdir(path.c_str()) != 0) path = ".";
    plat::SetDriveRoot("/");
    return path;
  }();
  return dir;
}

class FuzzDevice : public zarn::StatisticsDevice {
 public:
  int Serial(int, std::string& serial, int& documents, int& minutes) override {
    serial = "FUZZ";
    documents = 1;
    minutes = 2;
    return 0;
  }
  int Info(std::string& v, std::string& p, std::string& r) override {
    v = p = r = "x";
    return 0;
  }
  std::string Now() override { return "2026:01:01 00:00:00"; }
  std::string Folder() override { return Scratch(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = Scratch() + "/FUZZ.VEK";
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
  zarn::funcStatisticsToText(file.c_str(), 0, (Scratch() + "/out.log").c_str());
  zarn::funcStatisticsToXML(file.c_str(), (Scratch() + "/out.xml").c_str());
  FuzzDevice device;
  zarn::StatisticsFile stats(&device);
  if (stats.Init(200) == 0) {
    stats.Image(1);
    stats.Error(-300);
    stats.Save(200);
  }
  unlink((Scratch() + "/out.log").c_str());
  unlink((Scratch() + "/Stat.log").c_str());
  return 0;
}
