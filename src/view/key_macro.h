// Keyboard macros: the key and character events a recording holds, and the
// text they are saved in, one event a line:
//   CN_KEYDOWN: 48384, CharCode: 13, KeyData: 0, Shift: 0, Ctrl: 0, Alt: 0
//   CN_CHAR: 48386, CharCode: 33439, KeyData: 0, Shift: 0, Ctrl: 0, Alt: 0 // 検
#pragma once

#include <string>
#include <vector>

namespace lorvek {

inline constexpr int kCnKeyDown = 48384;
inline constexpr int kCnChar = 48386;
inline constexpr int kWmImeChar = 646;

struct MacroEvent {
  int message = kCnKeyDown;
  int code = 0;      // the key's code (key events) or the character (Shift-JIS: lead * 256 + trail)
  int key_data = 0;  // the key's modifiers as the toolkit gives them
  int shift = 0, ctrl = 0, alt = 0;  // 128 when pressed
  bool operator==(const MacroEvent&) const = default;
};

std::string SaveMacroText(const std::vector<MacroEvent>& events);
// Each line's first six numbers (message, code, key data, Shift, Ctrl,
// Alt); the rest of a line is ignored, and so is a line with fewer.
std::vector<MacroEvent> LoadMacroText(const std::string& text);

}  // namespace lorvek
