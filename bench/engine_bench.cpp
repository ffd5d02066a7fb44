// Throughput of the engine over a large Shift-JIS text made from the test
// fixtures: matching, the search run, detection and conversion.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "search/file_grep.h"
#include "search/regex/regular_expression.h"
#include "search/result_store.h"
#include "search/search_run.h"
#include "text/conversion.h"
#include "text/cp932.h"
#include "text/encoding.h"

namespace lorvek {
namespace {

std::string Read(const std::string& rel) {
  std::ifstream in(std::string(LORVEK_TEST_DATA) + "/" + rel, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string Repeat(const std::string& unit, size_t bytes) {
  std::string out;
  out.reserve(bytes + unit.size());
  while (out.size() < bytes) out += unit;
  return out;
}

const std::string& BigSjis() {  // 100 MB
  static const std::string text = Repeat(Read("text/sjis_crlf.txt") + Read("text/ascii.txt"), 100u << 20);
  return text;
}

const std::vector<std::string_view>& BigLines() {
  static const std::vector<std::string_view> lines = [] {
    std::vector<std::string_view> out;
    std::string_view t = BigSjis();
    size_t start = 0;
    for (size_t i = 0; i < t.size(); ++i)
      if (t[i] == '\n') {
        size_t end = (i > start && t[i - 1] == '\r') ? i - 1 : i;
        out.push_back(t.substr(start, end - start));
        start = i + 1;
      }
    return out;
  }();
  return lines;
}

void MatchLines(benchmark::State& state, const char* pattern_utf8, bool fuzzy) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(fuzzy);
  awk.SetRegExp(Utf8ToCp932(pattern_utf8));
  const auto& lines = BigLines();
  size_t hits = 0;
  for (auto _ : state)
    for (std::string_view line : lines) hits += awk.Match(line) ? 1 : 0;
  benchmark::DoNotOptimize(hits);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BigSjis().size()));
}

BENCHMARK_CAPTURE(MatchLines, kanji_word, "検索", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MatchLines, ascii_word, "concatenate", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MatchLines, fuzzy_4_chars, "ﾃｽﾄa", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MatchLines, alternation_3_words, "検索|テスト|cat", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MatchLines, anchored_start, "^最後", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MatchLines, anchored_end, "終わり。$", false)->Unit(benchmark::kMillisecond);

void DotStarOnLongLine(benchmark::State& state) {
  TAWKStr awk;
  awk.SetRegExp("x.*y");
  std::string line(1 << 20, 'x');
  for (auto _ : state) benchmark::DoNotOptimize(awk.Match(line));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(line.size()));
}
BENCHMARK(DotStarOnLongLine)->Unit(benchmark::kMillisecond);

void CompileFuzzy20(benchmark::State& state) {
  std::string pattern = Utf8ToCp932("ﾃｽﾄ検索がぎぐげごabcdeｱｲｳｴｵ");
  int i = 0;
  for (auto _ : state) {
    TAWKStr awk;
    awk.SetUseFuzzyCharDic(true);
    awk.SetRegExp(pattern + std::to_string(i++));
  }
}
BENCHMARK(CompileFuzzy20)->Unit(benchmark::kMillisecond);

void FuzzySearchRun(benchmark::State& state) {
  std::string dir = std::filesystem::temp_directory_path() / "lorvek-bench-run";
  std::filesystem::create_directories(dir);
  {
    std::ofstream out(dir + "/big.txt", std::ios::binary);
    out << BigSjis();
  }
  NullFrontEnd front;
  ResultStore store;
  SearchRun run(front, store, dir);
  run.options().code_cng_mode = 1;
  run.options().fuzzy_char = true;
  for (auto _ : state) run.FindButtonClick(Utf8ToCp932("ﾃｽﾄ"), dir + "/big.txt", "*");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BigSjis().size()));
  std::filesystem::remove_all(dir);
}
BENCHMARK(FuzzySearchRun)->Unit(benchmark::kMillisecond)->Iterations(2);

void Decode(benchmark::State& state, int32_t code) {
  std::string sjis = BigSjis();
  std::string input = code == ecEuc ? SjisToEuc(sjis) : code == ecUtf8N ? SjisToUtf8(sjis, false) : sjis;
  for (auto _ : state) benchmark::DoNotOptimize(DecodeForCode(code, input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input.size()));
}
BENCHMARK_CAPTURE(Decode, euc_to_internal, ecEuc)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(Decode, utf8_to_internal, ecUtf8N)->Unit(benchmark::kMillisecond)->Iterations(2);

void Utf16Decode(benchmark::State& state) {
  std::u16string units = Cp932ToUtf16(BigSjis());
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(units.data()), units.size() * 2);
  for (auto _ : state) benchmark::DoNotOptimize(Utf16ToSjis(bytes, false));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(Utf16Decode)->Unit(benchmark::kMillisecond)->Iterations(2);

void Probe(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ProbeBufferCode(BigSjis()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(BigSjis().size()));
}
BENCHMARK(Probe)->Unit(benchmark::kMillisecond);

void BinaryGrep(benchmark::State& state) {
  std::string path = std::filesystem::temp_directory_path() / "lorvek-bench.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out << Repeat(Read("text/binary_with_sjis.bin"), 100u << 20);
  }
  TGrep grep;
  grep.SetRegExp(Utf8ToCp932("検索"));
  size_t hits = 0;
  grep.OnMatch = [&](TGrep&, const RE_LineInfo_t&) { ++hits; };
  for (auto _ : state) grep.Grep(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(std::filesystem::file_size(path)));
  std::filesystem::remove(path);
}
BENCHMARK(BinaryGrep)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace lorvek

BENCHMARK_MAIN();
