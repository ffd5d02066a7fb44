#include "view/view_document.h"

#include <cstring>
#include <system_error>

#include "text/encoding.h"
#include "text/file_bytes.h"
#include "text/second_look.h"
#include "text/text_codec.h"
#include "text/text_stream.h"

namespace lorvek {
namespace {

std::vector<std::string> BinaryLines(const std::string& bytes) {
  std::string shown = bytes;
  for (char& c : shown) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b != '\r' && b != '\n' && !(b >= 0x20 && b <= 0xFB)) c = '.';
  }
  DecodedText d = DecodeFileText(shown, TextFileFormat::FromCodes(ecSjis, leCrLf));
  return d.Lines();
}

}  // namespace

ViewDocument LoadViewDocument(const std::string& path) {
  ViewDocument doc;
  InputFile in(FileRef::FromPath(path));
  TextFileFormat format = DetectFileFormat(in);
  std::string bytes;
  in.ReadRest(bytes);
  doc.stamp = in.Stamp();
  doc.encoding_code = format.encoding;
  if (format.encoding == ecUnread) {  // an empty file: a new Shift-JIS text
    doc.format = TextFileFormat::FromCodes(ecSjis, leCrLf);
    doc.encoding_code = ecSjis;
    return doc;
  }
  if (format.encoding == ecBinary) {
    doc.lines = BinaryLines(bytes);
    doc.format = TextFileFormat::FromCodes(ecSjis, leCrLf);
    doc.read_only_reason = "バイナリファイルのため編集できません.";
    return doc;
  }
  // Still undecided between EUC-JP and Shift-JIS: read as Shift-JIS.
  if (format.encoding == ecEucOrSjis) format = TextFileFormat::FromCodes(ecSjis, format.line_end);
  DecodeOptions options;
  options.check_round_trip = true;
  DecodedText decoded;
  try {
    decoded = DecodeFileText(bytes, format, options);
  } catch (const std::exception& e) {
    // Bytes the decoder refuses: shown as bytes, never written back.
    doc.lines = BinaryLines(bytes);
    doc.format = TextFileFormat::FromCodes(ecSjis, leCrLf);
    doc.read_only_reason = std::string("文字コードを変換できないため編集できません: ") + e.what();
    return doc;
  }
  doc.lines = decoded.Lines();
  doc.format = decoded.format;
  const std::vector<size_t> lossy = decoded.LossyLines();
  if (!lossy.empty())
    doc.read_only_reason = std::to_string(lossy.front() + 1) + " 行目が元の文字コードに戻せないため編集できません.";
  // A file that encodes back whole must also give its own bytes (mark,
  // breaks, final break).
  else if (EncodeFileText(doc.lines, doc.format) != bytes)
    doc.read_only_reason = "改行やマークを元どおりに戻せないため編集できません.";
  return doc;
}

std::string SaveViewDocument(const std::string& path, const std::vector<std::string>& lines,
                             const TextFileFormat& format, const FileStamp& expected) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (!CanEncodeLine(lines[i], format)) return std::to_string(i + 1) + " 行目を元の文字コードで保存できません.";
  const std::string bytes = EncodeFileText(lines, format);
  try {
    WriteFileAtomically(path, bytes, expected);
  } catch (const FileChangedError&) {
    return "保存できません: " + path + ": 読み込んだ後に他で変更されました.";
  } catch (const std::system_error& e) {
    return "保存できません: " + path + ": " + std::strerror(e.code().value());
  }
  return "";
}

}  // namespace lorvek
