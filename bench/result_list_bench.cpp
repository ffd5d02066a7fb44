// A million hits: showing them in the list, sorting by each column and
// writing each export. Runs off screen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <filesystem>

#include "results/export_formats.h"
#include "results/ui/result_list.h"
#include "results/ui/result_model.h"
#include "results/result_rows.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

constexpr size_t kRecords = 1000000;

void Fill(ResultStore& store) {
  store.Clear();
  const std::string text = Utf8ToCp932("この行は検索の結果として表示される見本の行です。cat and 検索");
  for (size_t i = 0; i < kRecords; ++i) {
    auto r = std::make_unique<MatchRecord>();
    r->OpenPath = "/data/project/folder" + std::to_string(i % 977) + "/file" + std::to_string(i % 5003) + ".txt";
    r->DisplayName = r->OpenPath;
    r->IconKey = "file.txt";
    r->LineNo = static_cast<int32_t>(i % 1000 + 1);
    r->LastWriteTime = 133000000000000000LL + static_cast<int64_t>((i * 7919) % 100000) * 10000000LL;
    r->LineText = text;
    store.records().push_back(std::move(r));
  }
}

ResultStore& Store() {
  static ResultStore store;
  if (store.size() != kRecords) Fill(store);
  return store;
}

void ShowList(benchmark::State& state) {
  ResultStore& store = Store();
  for (auto _ : state) {
    ResultModel model(store);
    ResultList view;
    view.setModel(&model);
    view.resize(900, 600);
    view.show();
    model.SetRowCount(store.size());
    view.scrollTo(model.index(static_cast<int>(store.size() / 2), 0));
    QApplication::processEvents();
    benchmark::DoNotOptimize(view.grab());
  }
}
BENCHMARK(ShowList)->Unit(benchmark::kMillisecond)->Iterations(3);

void SortColumn(benchmark::State& state) {
  ResultStore& store = Store();
  bool flag = false;
  for (auto _ : state) SortStore(store, static_cast<int>(state.range(0)), flag, LocaleCompare);
}
BENCHMARK(SortColumn)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void Export(benchmark::State& state) {
  ResultStore& store = Store();
  std::string path = (std::filesystem::temp_directory_path() / "lorvek-bench-export").string();
  TAWKStr m;
  m.SetRegExp(Utf8ToCp932("検索"));
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0: WriteLines(path, TagLines(store)); break;
      case 1: {
        std::vector<std::string> lines;
        lines.reserve(store.size());
        for (size_t i = 0; i < store.size(); ++i) lines.push_back(CsvLine(store[i], {1, 1}));
        WriteLines(path, lines);
        break;
      }
      default: WriteLines(path, HtmlLines(store, {"x", "now"}, &m.Current())); break;
    }
  }
  std::filesystem::remove(path);
}
BENCHMARK(Export)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace lorvek

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
