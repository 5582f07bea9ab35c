#include "platform/clipboard.h"

#include <mutex>

namespace plat {
namespace {
std::mutex g_mutex;
std::optional<std::string> g_text;
}  // namespace

void SetClipboardText(std::string_view text) {
  std::lock_guard lock(g_mutex);
  g_text = std::string(text);
}

std::optional<std::string> GetClipboardText() {
  std::lock_guard lock(g_mutex);
  return g_text;
}

void EmptyClipboard() {
  std::lock_guard lock(g_mutex);
  g_text.reset();
}

}  // namespace plat
