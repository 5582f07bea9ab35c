// The clipboard stand-in: one in-memory text (the CF_TEXT form), shared by everything in the process.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plat {

void SetClipboardText(std::string_view text);
// nullopt while the clipboard is empty.
std::optional<std::string> GetClipboardText();
void EmptyClipboard();

}  // namespace plat
