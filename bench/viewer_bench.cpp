// The viewer on large files, the real window off screen: opening a large
// Shift-JIS file, finding next and all, and replacing every hit. Each
// figure is set beside a plain std::string scan of the same text, measured
// in the same run (the "baseline_ms" and "ratio" counters).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>

#include "replace/ui/replace_dialogs.h"
#include "text/cp932.h"
#include "view/ui/find_dialog.h"
#include "view/ui/text_editor.h"
#include "view/ui/view_window.h"

namespace lorvek {
namespace {

constexpr size_t kLines = 100000;

const std::string& Word() {
  static const std::string w = Utf8ToCp932("検索");
  return w;
}

// Lines of about 60 bytes, each holding the word once; the last line also
// holds "needle".
std::vector<std::string> MakeLines(size_t n) {
  const std::string a = Utf8ToCp932("この行は見本の文章です。"), b = Utf8ToCp932("の語が一度だけ出てくる行");
  std::vector<std::string> lines;
  lines.reserve(n);
  for (size_t i = 0; i < n; ++i) lines.push_back(a + std::to_string(i) + " " + Word() + b + (i + 1 == n ? " needle" : ""));
  return lines;
}

std::string Folder() {
  static QTemporaryDir dir;
  return dir.path().toStdString() + "/";
}

std::string WriteSjisFile(const std::string& name, size_t lines) {
  const std::string path = Folder() + name;
  std::ofstream out(path, std::ios::binary);
  for (const std::string& l : MakeLines(lines)) out << l << "\r\n";
  return path;
}

TView& Viewer() {
  static TView* v = [] {
    auto* view = new TView(Folder());
    view->resize(900, 600);
    view->show();
    view->LoadIntoViewer(WriteSjisFile("lines.txt", kLines));
    return view;
  }();
  return *v;
}

template <class F>
double Millis(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// The baseline: the text as one string, every occurrence counted.
size_t PlainCount(const std::string& text, const std::string& word) {
  size_t n = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++n;
  return n;
}

std::string PlainReplace(const std::string& text, const std::string& word, const std::string& repl) {
  std::string out;
  size_t copied = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) {
    out.append(text, copied, at - copied);
    out += repl;
    copied = at + word.size();
  }
  out.append(text, copied);
  return out;
}

std::string Joined() {
  std::string text;
  for (const std::string& l : MakeLines(kLines)) text += l + "\n";
  return text;
}

// total_ms: the timed work of every iteration.
void Report(benchmark::State& state, double total_ms, double baseline_ms) {
  const double ms = total_ms / static_cast<double>(state.iterations());
  state.counters["ms"] = ms;
  state.counters["baseline_ms"] = baseline_ms;
  state.counters["ratio"] = baseline_ms > 0 ? ms / baseline_ms : 0;
}

void OpenLargeSjisFile(benchmark::State& state) {
  const size_t lines = static_cast<size_t>(state.range(0));
  const std::string path = WriteSjisFile("large.txt", lines);
  TView v(Folder());
  v.show();
  double total = 0;
  for (auto _ : state) total += Millis([&] { benchmark::DoNotOptimize(v.LoadIntoViewer(path)); });
  state.counters["MB"] = static_cast<double>(std::ifstream(path, std::ios::ate | std::ios::binary).tellg()) / 1e6;
  std::string bytes;
  Report(state, total, Millis([&] {
           std::ifstream in(path, std::ios::binary);
           bytes.assign(std::istreambuf_iterator<char>(in), {});
           benchmark::DoNotOptimize(PlainCount(bytes, "\r\n"));
         }));
}
BENCHMARK(OpenLargeSjisFile)->Arg(850000)->Unit(benchmark::kMillisecond)->Iterations(2);

// F3 from the top: to the next line's hit, and to the only "needle" at the
// very end (the whole text read).
void FindNext(benchmark::State& state) {
  TView& v = Viewer();
  const bool far = state.range(0) == 1;
  v.SetFindString(far ? "needle" : Word(), 0);
  v.Editor()->SetHighlight(true);
  double total = 0;
  for (auto _ : state) {
    v.Editor()->SetCaret({far ? 0 : kLines / 2, 0});
    total += Millis([&] { v.FindNextCommand(true); });
  }
  if (v.Editor()->Caret().line != (far ? kLines - 1 : kLines / 2)) state.SkipWithError("not found");
  const std::string text = Joined();
  Report(state, total, Millis([&] { benchmark::DoNotOptimize(text.find(far ? std::string("needle") : Word())); }));
}
BENCHMARK(FindNext)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

void FindAll(benchmark::State& state) {
  TView& v = Viewer();
  v.show_dialog = [](QDialog& d) {
    auto& f = static_cast<TFindDlg&>(d);
    f.WordBox()->setEditText(QString::fromStdString(Cp932ToUtf8(Word())));
    f.AllButton()->click();
  };
  double total = 0;
  for (auto _ : state) total += Millis([&] { v.FindAllCommand(); });
  if (!v.Panel(0).startsWith(QString::number(kLines))) state.SkipWithError("wrong count");
  const std::string text = Joined();
  Report(state, total, Millis([&] { benchmark::DoNotOptimize(PlainCount(text, Word())); }));
}
BENCHMARK(FindAll)->Unit(benchmark::kMillisecond)->Iterations(3);

// Replace every hit: from the top at once (arg 0) and from the caret without
// confirmation (arg 1).
void ReplaceEveryHit(benchmark::State& state) {
  TView& v = Viewer();
  const std::vector<std::string> lines = MakeLines(kLines);
  const bool from_caret = state.range(0) == 1;
  v.show_dialog = [&](QDialog& d) {
    auto& r = static_cast<TReplDlg&>(d);
    r.FindBox()->setEditText(QString::fromStdString(Cp932ToUtf8(Word())));
    r.ReplaceBox()->setEditText(QString::fromUtf8("置換後"));
    for (auto* box : r.findChildren<QCheckBox*>())
      if (box->text().startsWith(QString::fromUtf8("置換の確認"))) box->setChecked(false);
    (from_caret ? r.FromCaret() : r.FromTop())->setChecked(true);
    r.ReplaceAllButton()->click();
  };
  double total = 0;
  for (auto _ : state) {
    state.PauseTiming();
    v.Editor()->SetLines(lines);
    v.Editor()->SetCaret({0, 0});
    state.ResumeTiming();
    total += Millis([&] { v.Replace(); });
  }
  if (!v.Panel(0).startsWith(QString::number(kLines))) state.SkipWithError("wrong count");
  const std::string text = Joined();
  Report(state, total, Millis([&] { benchmark::DoNotOptimize(PlainReplace(text, Word(), Utf8ToCp932("置換後"))); }));
}
BENCHMARK(ReplaceEveryHit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace lorvek

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
