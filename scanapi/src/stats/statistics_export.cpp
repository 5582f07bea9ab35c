// Text and XML listings of a statistics file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/paths.h"
#include "stats/positioned_io.h"
#include "zarn/statistics.h"

namespace zarn {
namespace {

constexpr int kShortRead = -708;

// One statistics file open for reading, with its size to bound the block walk.
class StatSource {
 public:
  explicit StatSource(const char* name)
      : fd_(name != nullptr ? plat::OpenFileDescriptor(name, O_RDONLY) : -1) {
    struct stat st {};
    if (fd_ >= 0 && fstat(fd_, &st) == 0) size_ = st.st_size;
  }
  StatSource(const StatSource&) = delete;
  StatSource& operator=(const StatSource&) = delete;
  ~StatSource() { if (fd_ >= 0) close(fd_); }
  bool ok() const { return fd_ >= 0; }
  bool Read(uint8_t* buf, size_t n, int64_t at) const { return stats::ReadAt(fd_, buf, n, at); }
  // A block's length must cover its header and stay inside the file, so a block walk always advances.
  bool LengthFits(int64_t at, int32_t length) const { return length >= kStatHeaderSize && at + length <= size_; }

 private:
  int fd_;
  int64_t size_ = 0;
};

// Appends one line to a file opened and closed per line; a file that cannot be opened loses the line.
void AppendLine(const char* file, const std::string& line) {
  if (file == nullptr) return;
  std::FILE* f = plat::OpenFile(file, "a");
  if (f == nullptr) return;
  std::fputs(line.c_str(), f);
  std::fputc('\n', f);
  std::fclose(f);
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

std::string XmlEscape(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    switch (*p) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += *p; break;
    }
  }
  return out;
}

}  // namespace

int funcStatisticsToText(const char* statFile, int offset, const char* logName) {
  StatSource src(statFile);
  if (!src.ok()) return -1;
  uint8_t head[kStatHeaderSize];
  if (!src.Read(head, sizeof head, offset)) return kShortRead;
  const StatHeader h = DecodeStatHeader(head);
  if (!src.LengthFits(offset, h.statisticsLength)) return kShortRead;
  auto out = [&](const std::string& line) {
    AppendLine(logName, line);
    AppendLine("Stat.log", line);
  };
  out(Format("FileName:  %s", statFile));
  out("  Scanner Statistics");
  out(Format("      StatisticsLength  = %8d", h.statisticsLength));
  out(Format("      CurrentStatistics = %8d", h.currentStatistics));
  out(Format("      ScannerType       = %8d", h.scannerType));
  out(Format("      VEKAPIVersion     = %8d", h.apiVersion));
  out(Format("      APIDate           = %s", h.apiDate));
  out(Format("      Vendor            = %s", h.vendor));
  out(Format("      Product           = %s", h.product));
  out(Format("      Release           = %s", h.release));
  out(Format("      InitDate          = %s", h.initDate));
  out(Format("      SerialNumber      = %s", h.serialNumber));
  out(Format("      DocumentNumber    = %8d", h.documentNumber));
  out(Format("      RunTime           = %8d", h.runTime));
  for (int p = kStatHeaderSize; p < h.statisticsLength; p += kStatRecordSize) {
    uint8_t buf[kStatRecordSize];
    if (!src.Read(buf, sizeof buf, static_cast<int64_t>(offset) + p)) return kShortRead;
    const StatRecord r = DecodeStatRecord(buf);
    if (r.initTime[0] == '\0') continue;
    out(" ");
    out(" ");
    out(Format("   RUNNING STATISTICS %d", p));
    out(Format("      InitTime          = %s", r.initTime));
    out(Format("      ExitTime          = %s", r.exitTime));
    out(Format("      ColorImages       = %8d", r.colorImages));
    out(Format("      Gray8Images       = %8d", r.gray8Images));
    out(Format("      Gray4Images       = %8d", r.gray4Images));
    out(Format("      Gray1Images       = %8d", r.gray1Images));
    out(Format("      TotalImages       = %8d", r.totalImages));
    out(Format("      EndorsePrints     = %8d", r.endorsePrints));
    out(Format("      MICR3             = %8d", r.micr[0]));
    out(Format("      MICR2             = %8d", r.micr[1]));
    out(Format("      MICR1             = %8d", r.micr[2]));
    out(Format("      MICR0             = %8d", r.micr[3]));
    out(Format("      NoFeedErrors      = %8d", r.noFeedErrors));
    out(Format("      DoubleFeedErrors  = %8d", r.doubleFeedErrors));
    out(Format("      PaperJamErrors    = %8d", r.paperJamErrors));
    out(Format("      ImageTooLongErrors= %8d", r.imageTooLongErrors));
    out(Format("      OtherErrors       = %8d", r.otherErrors));
    for (int i = 0; i < 32; i += 4)
      out(Format("      Errors[%3d -%3d]  = %8d,%8d,%8d,%8d", i, i + 3, r.errorRing[i], r.errorRing[i + 1],
                 r.errorRing[i + 2], r.errorRing[i + 3]));
    for (int i = 0; i < 256; i += 4)
      out(Format("      Density[%3d -%3d] = %8d,%8d,%8d,%8d", i, i + 3, r.density[i], r.density[i + 1],
                 r.density[i + 2], r.density[i + 3]));
    for (int i = 0; i < 64; i += 4)
      out(Format("      ImageQual[%3d-%3d]= %8d,%8d,%8d,%8d", i, i + 3, r.imageQual[i], r.imageQual[i + 1],
                 r.imageQual[i + 2], r.imageQual[i + 3]));
  }
  return offset + h.statisticsLength;
}

int funcStatisticsToXML(const char* statFile, const char* xmlName) {
  std::FILE* xml = xmlName != nullptr ? plat::OpenFile(xmlName, "w") : nullptr;
  StatSource src(statFile);
  auto finish = [&](int rc) {
    if (xml != nullptr) std::fclose(xml);
    return rc;
  };
  if (!src.ok()) return finish(-1);
  uint8_t head[kStatHeaderSize];
  if (!src.Read(head, sizeof head, 0)) return finish(kShortRead);
  const StatHeader h = DecodeStatHeader(head);
  if (!src.LengthFits(0, h.statisticsLength)) return finish(kShortRead);
  std::string doc = "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\n<Statistics>";
  auto elem = [&](const char* indent, const char* name, const std::string& value) {
    doc += Format("\n%s<%s>\n%s\t%s\n%s</%s>", indent, name, indent, value.c_str(), indent, name);
  };
  auto list = [&](const char* indent, const int32_t* v, int count) {
    for (int i = 0; i < count; ++i) {
      if (i % 8 == 0) doc += Format("\n%s", indent);
      doc += Format("  %06d", v[i]);
    }
  };
  const char* t2 = "\t\t";
  const char* t3 = "\t\t\t";
  doc += "\n\t<ScannerStatistics>";
  elem(t2, "SerialNumber", XmlEscape(h.serialNumber));
  elem(t2, "RunningStatistics", std::to_string(h.currentStatistics));
  elem(t2, "VEKAPIVersion", std::to_string(h.apiVersion));
  elem(t2, "VEKAPIDate", XmlEscape(h.apiDate));
  elem(t2, "Vendor", XmlEscape(h.vendor));
  elem(t2, "Product", XmlEscape(h.product));
  elem(t2, "FirmwareVersion", XmlEscape(h.release));
  elem(t2, "InitialDate", XmlEscape(h.initDate));
  elem(t2, "DocumentNumber", std::to_string(h.documentNumber));
  elem(t2, "RunTime", std::to_string(h.runTime));
  doc += "\n\t</ScannerStatistics>";
  for (int p = kStatHeaderSize; p < h.statisticsLength; p += kStatRecordSize) {
    uint8_t buf[kStatRecordSize];
    if (!src.Read(buf, sizeof buf, p)) return finish(kShortRead);
    const StatRecord r = DecodeStatRecord(buf);
    if (r.initTime[0] == '\0') continue;
    doc += "\n\t<RunningStatistics>";
    elem(t2, "InitialTime", XmlEscape(r.initTime));
    elem(t2, "ExitTime", XmlEscape(r.exitTime));
    elem(t2, "ColorImages", std::to_string(r.colorImages));
    elem(t2, "Gray8Images", std::to_string(r.gray8Images));
    elem(t2, "Gray4Images", std::to_string(r.gray4Images));
    elem(t2, "Gray1Images", std::to_string(r.gray1Images));
    elem(t2, "TotalImages", std::to_string(r.totalImages));
    elem(t2, "EndorsePrints", std::to_string(r.endorsePrints));
    doc += "\n\t\t<Errors>";
    elem(t3, "NoFeedErrors", std::to_string(r.noFeedErrors));
    elem(t3, "ImageTooLongErrors", std::to_string(r.imageTooLongErrors));
    elem(t3, "DoubleFeedErrors", std::to_string(r.doubleFeedErrors));
    elem(t3, "PaperJamErrors", std::to_string(r.paperJamErrors));
    elem(t3, "OtherErrors", std::to_string(r.otherErrors));
    doc += "\n\t\t\t<OtherListErrors>";
    list("\t\t\t\t", r.errorRing, r.otherErrors < 0 ? 0 : (r.otherErrors < 32 ? r.otherErrors : 32));
    doc += "\n\t\t\t</OtherListErrors>";
    doc += "\n\t\t</Errors>";
    doc += "\n\t\t<MICR>";
    elem(t3, "MICR3", std::to_string(r.micr[0]));
    elem(t3, "MICR2", std::to_string(r.micr[1]));
    elem(t3, "MICR1", std::to_string(r.micr[2]));
    elem(t3, "MICR0", std::to_string(r.micr[3]));
    doc += "\n\t\t</MICR>";
    doc += "\n\t\t<Density>";
    list(t3, r.density, 256);
    doc += "\n\t\t</Density>";
    doc += "\n\t\t<ImageQuality>";
    list(t3, r.imageQual, 64);
    doc += "\n\t\t</ImageQuality>";
    doc += "\n\t</RunningStatistics>";
  }
  doc += "\n</Statistics>";
  if (xml != nullptr) std::fputs(doc.c_str(), xml);
  return finish(h.statisticsLength);
}

}  // namespace zarn
