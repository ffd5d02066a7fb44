// Failures of the regular-expression engine.
#pragma once

#include <stdexcept>
#include <string>

namespace lorvek {

// An invalid pattern: the message is the user's text (UTF-8), the position
// the 0-based byte offset in the pattern at which scanning stopped.
class ERegExpParser : public std::runtime_error {
 public:
  ERegExpParser(const std::string& message, size_t position)
      : std::runtime_error(message), position_(position) {}
  size_t position() const { return position_; }

 private:
  size_t position_;
};

namespace regex_messages {
inline const char kBadDoubleByte[] = "不正な２バイト文字コードです。";
inline const char kNothingAfterBackslash[] = "\"\\\"の次には文字が必要です。";
inline const char kBadHex[] = "不正な１６進数コード表記です。";
inline const char kBadOctal[] = "不正な８進数コード表記です。";
inline const char kNeedRightBracket[] = "右ブラケット\"]\"が必要です";
inline const char kBadRange[] = "不正なキャラクタ範囲です";
inline const char kBadClass[] = "不正なキャラクタクラス指定です。";
inline const char kNeedRightParen[] = "右(閉じ)括弧が必要です";
inline const char kNeedAtom[] = "普通の文字、または左括弧\"(\"が必要です";
inline const char kExtraText[] = "正規表現に余分な文字があります";
inline const char kTreeFatal[] = "TREParseTree : 致命的エラー";
inline const char kNfaFatal[] = "This cannot happen in TRE_NFA.GenerateStateList";
// Limits of our own, in the same style.
inline const char kEmptyNegatedClass[] = "否定キャラクタクラスに該当する文字がありません。";
inline const char kTooComplex[] = "正規表現が複雑すぎます。";
}  // namespace regex_messages

}  // namespace lorvek
