// ScanConfigIni: the scan configuration of the later series, read from a section of an INI file, brought
// into range as its key table says, and written back with the values in force. The series differ in
// their keys, defaults and ranges; ScanConfigRules carries those differences.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "qv6/later/franker.h"

namespace qv6::later {

struct SideConfig {
  int enable = 1;
  int color = 0;
  int red = 100;
  int green = 100;
  int blue = 100;
  int greyCode = 2;  // 0: 2 levels, 1: 16 levels, 2: 256 levels
  int threshold = 8;
  int resolution = 200;
  int bottom = 0;
  int top = 2200;
  int contrast = 100;
  // Where the side's scan starts and ends (16-bit; read only by series with scan positions).
  int iniPos = 0;
  int endPos = 0;
};

struct ScanConfig {
  int cropEnable = 1;
  SideConfig front;
  SideConfig rear;
  int micrEnable = 1;
  int micrFont = 1;
  int micrSpaces = 2;
  int micrSaveSamples = 0;
  int printerEnable = 0;
  int printerIntensity = 4;
  int printerDensity = 4;
  std::string printerFont;
  int baudRate = 38400;
  int parity = 0;
  int charLen = 8;
  int stopBits = 2;
  int doubleFeedEnable = 1;
  int doubleFeedDelay = 5;
  int feedSolenoidMode = 0;
  int sorterEnable = 0;
  // The QV62x scanner leaves the photo-out test to the host: thresholds above the empty track.
  int photoOutEnable = 1;
  int photoOutOffset = 25;
  int photoOutTrip = 125;
  FrankerSettings franker;  // read only by series with a franker
  // The VEKQv5xx keys: scan mode (at most 3), magnetic gain in hundredths (10..1000) and its AGC flag.
  int scanMode = 0;
  uint32_t micrGain = 100;
  int micrAgc = 0;
  // The auxiliary sides (read only by series that have them).
  SideConfig auxFront;
  SideConfig auxRear;
};

// How a series' scan configuration differs from the QV63x one.
struct ScanConfigRules {
  // A 300 dpi sensor: "Resolution" defaults to 300 and keeps 100 and 200, anything else is 300 (the
  // 200 dpi sensor defaults to 200 and keeps only 100).
  bool sensor300 = false;
  bool readFranker = false;   // "FrankerMode" and "FrankerSmartModeBadQtyAllowed"
  bool writeFranker = false;  // written back, after "FrankerComment"
  // The QV62x keys: "Color" is a flag, no "Feed Solenoid Mode", the three "PHOTO OUT" keys ("PHOTO OUT
  // Enable" is read, never written back; the other two are written before "SORTER Enable").
  bool photoOut = false;
  bool saveSamplesWritten = false;  // "MICR Save Samples" written back like the other keys
  bool colourTwoOnly = false;   // "Color": 0 stays 0, anything else is colour mode 2
  bool noFeedSolenoid = false;  // "Feed Solenoid Mode" neither read nor written
  // The VEKQv5xx file: no serial port, double-feed, feed solenoid or sorter keys; "SCAN Mode" first,
  // "MICR Gain (x0.01)" and "MICR AGC" after "MICR Spaces", the franker keys (with their own comment) last.
  bool scanModeKeys = false;
  // The first series' keys and layout.
  bool colourFlag = false;     // "Color" is a flag
  bool scanPositions = false;  // each side's "Scan IniPos" and "Scan EndPos"; the rear takes the front's
  // "AUXFRONT_IMG " and "AUXREAR_IMG " keys: their "Enable" and "Contrast" (50..200) are their own, their scan
  // geometry is read but they take the front's, and they take their main side's colours.
  bool auxSides = false;
  bool feedKeys = true;  // "DOUBLE FEED Enable", "DOUBLE FEED Delay", "Feed Solenoid Mode", "SORTER Enable"
  int baudFallback = 9600;   // "RS232 BaudeRate" when it is no standard rate
  bool stopBitsTwo = false;  // "RS232 StopBits": 1 stays, anything else is 2 (else 1 and 2 stay, else 1)
  bool cropFirst = false;    // "CROP_IMAGE Enable" written first, not after the other keys
  bool fontAfterPrinter = false;  // "PRINTER Font 12dot" written after "PRINTER Density", not last
  size_t fontChars = 1024;        // the longest "PRINTER Font 12dot" read
};

// The section used when the caller names none.
inline constexpr const char* kDefaultScanSection = "QV600 CONFIG";

// A name without a drive colon or a leading separator is taken from the current directory.
std::string CurrentDirectoryName(const char* file);

// Reads every key of the section (missing keys take their defaults), normalises, and makes the rear
// side scan like the front in resolution, grey levels, bottom and top. False when the file does not open.
bool LoadScanConfig(const char* file, const char* section, ScanConfig* config,
                    const ScanConfigRules& rules = {});
// Writes every key (but "MICR Save Samples" unless the rules say so) with the values in force.
bool SaveScanConfig(const char* file, const char* section, const ScanConfig& config,
                    const ScanConfigRules& rules = {});

}  // namespace qv6::later
