// The later-series template's endorsement: a bitmap or a text rendered with the ink-jet font, placed in
// the host buffer that goes to the scanner before every start feed.
#include "qv6/endorsement/host_buffer_print.h"
#include "qv6/later/later_device_template.h"

namespace qv6 {

using namespace later;

namespace {

endorsement::HostBufferLayout Layout(const BlockValues& blocks, bool mirrored) {
  endorsement::HostBufferLayout layout;
  layout.density =
      endorsement::DensityOfPrinterControl(static_cast<unsigned>(blocks.Get(kBlockPrinter, kPrinterControl)));
  layout.mirrored = mirrored;
  return layout;
}

}  // namespace

int ScannerQV63xDeviceTemplate::SetBmpToPrint(const void* bits, int width, int rows, int position1,
                                              int position2, int flags) {
  return endorsement::PrintBitmapToHostBuffer(hostBuffer_, bits, width, rows,
                                              GetPrintParameter(position1, position2), flags,
                                              Layout(blocks_, MirroredSides()));
}

int ScannerQV63xDeviceTemplate::StringToPrint(const char* text, int length, int position1, int position2,
                                              int flags) {
  return endorsement::PrintTextToHostBuffer(hostBuffer_, config_.printerFont, text, length,
                                            GetPrintParameter(position1, position2), flags,
                                            Layout(blocks_, MirroredSides()));
}

}  // namespace qv6
