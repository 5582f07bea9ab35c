// What a screen is: size, resolution and colour form. Each window backend describes its screen with it, and
// the imaging code reads the colour count from it to choose between true colour and a 256-colour palette.
#pragma once

#include <cstdint>

namespace ui {

// GetDeviceCaps indexes the programs read.
inline constexpr int HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, NUMCOLORS = 24, LOGPIXELSX = 88,
                     LOGPIXELSY = 90, SIZEPALETTE = 104;

struct DisplayInfo {
  enum class Colours { TrueColour, Palette256 };

  int width = 1280;
  int height = 1024;
  int dpiX = 96;
  int dpiY = 96;
  Colours colours = Colours::TrueColour;

  // GetDeviceCaps for the indexes above; 0 for others. A true-colour screen has no palette and -1 colours;
  // a palette screen has 256 palette entries and 20 static colours.
  int DeviceCaps(int index) const;
  // The palette size, else the number of colours, a negative count read as 4096.
  int ColourCount() const;
};

}  // namespace ui
