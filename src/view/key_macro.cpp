#include "view/key_macro.h"

#include <cctype>
#include <cstdlib>

namespace lorvek {

std::string SaveMacroText(const std::vector<MacroEvent>& events) {
  std::string out;
  for (const MacroEvent& e : events) {
    const char* name = e.message == kCnChar ? "CN_CHAR: " : e.message == kWmImeChar ? "WM_IME_CHAR: " : "CN_KEYDOWN: ";
    out += name + std::to_string(e.message) + ", CharCode: " + std::to_string(e.code) +
           ", KeyData: " + std::to_string(e.key_data) + ", Shift: " + std::to_string(e.shift) +
           ", Ctrl: " + std::to_string(e.ctrl) + ", Alt: " + std::to_string(e.alt);
    if (e.message == kCnChar || e.message == kWmImeChar) {
      out += " // ";
      if (e.code > 0xFF) {
        out.push_back(static_cast<char>(e.code >> 8));
        out.push_back(static_cast<char>(e.code & 0xFF));
      } else if (e.code < 32) {
        out += "#" + std::to_string(e.code);
      } else {
        out.push_back(static_cast<char>(e.code));
      }
    }
    out += "\r\n";
  }
  return out;
}

std::vector<MacroEvent> LoadMacroText(const std::string& text) {
  std::vector<MacroEvent> events;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    // The numbers before the comment mark (the character after it may be a digit).
    const std::string head = line.substr(0, line.find("//"));
    std::vector<long> numbers;
    for (size_t i = 0; i < head.size() && numbers.size() < 6;) {
      if (std::isdigit(static_cast<unsigned char>(head[i])) ||
          (head[i] == '-' && i + 1 < head.size() && std::isdigit(static_cast<unsigned char>(head[i + 1])))) {
        char* stop = nullptr;
        numbers.push_back(std::strtol(head.c_str() + i, &stop, 10));
        i = static_cast<size_t>(stop - head.c_str());
      } else {
        ++i;
      }
    }
    if (numbers.size() < 6) continue;
    events.push_back({static_cast<int>(numbers[0]), static_cast<int>(numbers[1]), static_cast<int>(numbers[2]),
                      static_cast<int>(numbers[3]), static_cast<int>(numbers[4]), static_cast<int>(numbers[5])});
  }
  return events;
}

}  // namespace lorvek
