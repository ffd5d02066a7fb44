#include "search/mask.h"

#include "text/cp932.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

constexpr int kMaxStarElements = 30;

unsigned char UpperByte(unsigned char b) { return (b >= 'a' && b <= 'z') ? b - 32 : b; }

std::string FormatMaskError(const std::string& mask, int position) {
  return "'" + Cp932ToUtf8(mask) + "' is an invalid mask at (" + std::to_string(position) + ")";
}

}  // namespace

EMaskError::EMaskError(const std::string& mask, int position)
    : std::runtime_error(FormatMaskError(mask, position)), position_(position) {}

TMask::TMask(std::string_view mask) {
  const std::string text(mask);
  size_t i = 0;
  bool star = false;
  int star_elements = 0;
  auto push = [&](Element el, size_t at) {
    el.star_before = star;
    if (star && ++star_elements > kMaxStarElements) throw EMaskError(text, static_cast<int>(at) + 1);
    star = false;
    elements_.push_back(std::move(el));
  };
  while (i < mask.size()) {
    unsigned char c = static_cast<unsigned char>(mask[i]);
    size_t at = i;
    if (c == '*') {
      star = true;
      ++i;
      continue;
    }
    Element el;
    if (c == '?') {
      ++i;
      if (star) continue;  // "*?" behaves as "*"
      el.kind = Kind::AnyByte;
    } else if (c == '[') {
      ++i;
      el.kind = Kind::Set;
      if (i < mask.size() && mask[i] == '!') {
        el.negated = true;
        ++i;
      }
      bool closed = false, any = false;
      int prev = -1;  // last single byte added, for ranges
      while (i < mask.size()) {
        unsigned char b = static_cast<unsigned char>(mask[i]);
        if (b == ']') {
          closed = true;
          ++i;
          break;
        }
        if (IsLeadByte(b) && i + 1 < mask.size()) {  // ignored inside a set
          i += 2;
          any = true;
          prev = -1;
          continue;
        }
        if (b == '-') {
          if (prev < 0) throw EMaskError(text, static_cast<int>(i) + 1);
          ++i;
          if (i >= mask.size()) break;
          unsigned char hi = UpperByte(static_cast<unsigned char>(mask[i]));
          if (hi == ']') {  // "a-]": the hyphen stands for itself
            el.set.set('-');
            continue;
          }
          for (int v = prev; v <= hi; ++v) el.set.set(static_cast<size_t>(v));
          prev = -1;
          ++i;
          continue;
        }
        prev = UpperByte(b);
        el.set.set(static_cast<size_t>(prev));
        any = true;
        ++i;
      }
      if (!closed) throw EMaskError(text, static_cast<int>(i) + 1);
      if (!any && el.set.none()) throw EMaskError(text, static_cast<int>(i));
    } else if (IsLeadByte(c) && i + 1 < mask.size()) {
      el.kind = Kind::DoubleByte;
      el.code = static_cast<unsigned short>(c * 256 + static_cast<unsigned char>(mask[i + 1]));
      i += 2;
    } else {
      el.kind = Kind::Literal;
      el.byte = UpperByte(c);
      ++i;
    }
    push(std::move(el), at);
  }
  Element end;
  push(std::move(end), mask.size());
}

bool TMask::ElementMatches(const Element& el, std::string_view name, size_t pos) const {
  if (pos >= name.size()) return false;
  unsigned char b = static_cast<unsigned char>(name[pos]);
  switch (el.kind) {
    case Kind::Literal:
      return UpperByte(b) == el.byte;
    case Kind::DoubleByte:
      return pos + 1 < name.size() && b == (el.code >> 8) &&
             static_cast<unsigned char>(name[pos + 1]) == (el.code & 0xFF);
    case Kind::AnyByte:
      return true;
    case Kind::Set:
      return el.set.test(UpperByte(b)) != el.negated;
    case Kind::End:
      return false;
  }
  return false;
}

bool TMask::Matches(std::string_view name) const {
  size_t pos = 0, e = 0;
  bool have_star = false;
  size_t star_e = 0, star_pos = 0;
  bool resuming = false;
  for (;;) {
    const Element& el = elements_[e];
    if (el.star_before && !resuming) {
      have_star = true;
      star_e = e;
      star_pos = pos;
    }
    resuming = false;
    bool ok;
    if (el.kind == Kind::End) {
      if (el.star_before || pos == name.size()) return true;
      ok = false;
    } else {
      ok = ElementMatches(el, name, pos);
    }
    if (ok) {
      pos += Width(el);
      ++e;
      continue;
    }
    // Resume the last star's skip one character further on.
    if (!have_star || star_pos >= name.size()) return false;
    star_pos += CharLength(name, star_pos);
    pos = star_pos;
    e = star_e;
    resuming = true;
  }
}

void TWildMatch::SetMasks(std::vector<std::string> masks) {
  masks_ = std::move(masks);
  compiled_.clear();
  compiled_ok_ = false;
}

bool TWildMatch::Matches(std::string_view file_name) const {
  if (file_name.empty() || masks_.empty()) return false;
  if (!compiled_ok_) {
    compiled_.clear();
    for (const auto& m : masks_) compiled_.emplace_back(m);
    compiled_ok_ = true;
  }
  for (const auto& m : compiled_)
    if (m.Matches(file_name)) return true;
  return false;
}

std::vector<std::string> SplitCommaText(std::string_view text) {
  std::vector<std::string> items;
  size_t i = 0, n = text.size();
  auto blank = [&](size_t k) {
    return k < n && static_cast<unsigned char>(text[k]) >= 1 && static_cast<unsigned char>(text[k]) <= 32;
  };
  while (blank(i)) ++i;
  while (i < n && text[i] != '\0') {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            item.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item.push_back(text[i]);
        // A double-byte character is copied whole, so a trail byte is never read as a quote.
        if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < n) item.push_back(text[++i]);
        ++i;
      }
    } else {
      size_t start = i;
      while (i < n && static_cast<unsigned char>(text[i]) > 32 && text[i] != ',') ++i;
      item.assign(text.substr(start, i - start));
    }
    items.push_back(std::move(item));
    while (blank(i)) ++i;
    if (i < n && text[i] == ',') {
      ++i;
      while (blank(i)) ++i;
    }
  }
  return items;
}

std::string JoinCommaText(const std::vector<std::string>& items) {
  std::string out;
  for (size_t k = 0; k < items.size(); ++k) {
    if (k) out.push_back(',');
    const std::string& s = items[k];
    bool quote = s.empty() ? false : s.find_first_of(" ,\"") != std::string::npos;
    for (unsigned char c : s)
      if (c < 32) quote = true;
    if (!quote) {
      out += s;
      continue;
    }
    out.push_back('"');
    for (char c : s) {
      if (c == '"') out.push_back('"');
      out.push_back(c);
    }
    out.push_back('"');
  }
  return out;
}

std::vector<std::string> ParseMaskText(std::string_view text) {
  std::string s = UpperAscii(TrimBlanks(text));
  for (char& c : s)
    if (c == ';') c = ',';
  return SplitCommaText(s);
}

}  // namespace lorvek
