// The orders in which the API INI reader reads and the writer writes the parameters. Numbers are parameter
// ids; the step codes above 1000 stand for the string parameters and the other keys of the file.
#pragma once

#include <span>

namespace zarn::ini_order {

enum Step : int {
  kSorterString1 = 1040,  // string 40
  kSorterString2 = 1041,  // string 41
  kPrintString = 1034,    // string 34
  kPrintFile = 1035,      // string 35 (and 112 when read)
  kFontFile = 1083,       // string 83 (and 113 when read)
  kFerloPath = 1177,      // string 177
  kExpectList = 2000,     // the "VEKSCAN EXCEPTION" list
  kKelvoJpeg = 2001,      // the Kelvo JPEG switch
  kSectionScsi = 3000,    // writer: the following ids go to section "SCSI"
  kSectionAcq = 3001,     // writer: "ACQ. SETUP"
  kSectionLight = 3002,   // writer: "DOUBLE LIGHT SOURCE"
  kSectionQv600 = 3003,   // writer: "QV600 CONFIG", QV600 line only
  kSectionVek = 3004,     // writer: "VEKSCAN"
  kDoubleFeedAsThickness = 3007,  // writer: parameter 7 as "Acq: Doc.thickness"
  kDoubleFeedAsDetect = 3008,     // writer: parameter 7 as "Devices: Double feed detect"
};

// The reader's steps up to and including the Kelvo JPEG switch, 160 and 161; parameter 92, the QV600
// section and the print string follow in code.
std::span<const int> ReaderSteps();
// The QV600-line keys the reader takes after parameter 92.
std::span<const int> ReaderQv600Ids();
std::span<const int> WriterSteps();

}  // namespace zarn::ini_order
