// The API's image windows: up to two child windows (numbers 1 and 2) inside a caller's window, each showing
// one page of an image file fitted to its size, with scroll bars, keys, a rubber band that zooms into the
// rectangle drawn and a right click that returns to the fitted view.
//
// They run on the thread that owns the current ui::WindowSystem (ui::WindowSystem::Current()).
#pragma once

#include "ui/messages.h"

namespace zc::imaging {

// Starts image window `window` over the whole client area of `parent`: 0; -108 for a number other than 1
// or 2; -109 when it is already open; -110 when the window cannot be created.
int ZARNStartImageWindow(ui::HWND parent, int window);
// Closes the window and frees what it shows: 0; -108 for a bad number; -111 when it is not open.
int ZARNCloseImageWindow(int window);
// Gives the window the size of its parent's client area: 0; -108 for a bad number or a window not open.
int ZARNSizeImageWindow(int window);
// Shows page `page` of the file (the name through the program's file-name rule) fitted to the window: 0;
// an empty or null name clears the window (0); -108 for a bad number or a window not open; -112 when the
// page cannot be opened.
int ZARNSetImageMultPage(const char* fileName, int page, int window);

}  // namespace zc::imaging
