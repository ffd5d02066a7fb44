// A million hits: showing them in the list, sorting by each column and
// writing each export, and the store's layout against a heap record per hit
// (bytes per record, taking and sorting, as ratios from the same run). Runs
// off screen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <malloc.h>

#include "results/export_formats.h"
#include "results/ui/result_list.h"
#include "results/ui/result_model.h"
#include "results/result_rows.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

constexpr size_t kRecords = 1000000;

// A record as a search makes it: about forty hits a file, files in walk
// order, each line its own text.
std::unique_ptr<MatchRecord> Synthetic(size_t i, bool context) {
  static const std::string text = Utf8ToCp932("この行は検索の結果として表示される見本の行です。cat and 検索 ");
  auto r = std::make_unique<MatchRecord>();
  const size_t file = i / 40;
  r->OpenPath = "/data/project/folder" + std::to_string(file % 977) + "/file" + std::to_string(file) + ".txt";
  r->DisplayName = r->OpenPath;
  r->IconKey = "file" + std::to_string(file) + ".txt";
  r->IconIndex = i % 40 ? -1 : 0;
  r->LineNo = static_cast<int32_t>((i % 40) * 3 + 1);
  r->LastWriteTime = 133000000000000000LL + static_cast<int64_t>((file * 7919) % 100000) * 10000000LL;
  r->LineText = text + std::to_string(i);
  if (context) {
    // Hits three lines apart: the lines around one are nobody else's.
    r->PrevLine2 = text + "-2 " + std::to_string(i);
    r->PrevLine1 = text + "-1 " + std::to_string(i);
    r->NextLine1 = text + "+1 " + std::to_string(i);
    r->NextLine2 = text + "+2 " + std::to_string(i);
  }
  return r;
}

void Fill(ResultStore& store) {
  store.Clear();
  for (size_t i = 0; i < kRecords; ++i) store.Take(Synthetic(i, false), {});
}

ResultStore& Store() {
  static ResultStore store;
  if (store.size() != kRecords) Fill(store);
  return store;
}

// The layout the store had before: a heap record with its own strings per
// hit, sorted through its pointers with the locale compare for each pair.
struct PointerStore {
  std::vector<std::unique_ptr<MatchRecord>> records;
  void Sort(int column, bool flag) {
    std::sort(records.begin(), records.end(), [&](const auto& a, const auto& b) {
      long long c;
      if (column == 0) {
        c = LocaleCompare(a->DisplayName, b->DisplayName);
        c = c < 0 ? -1 : c > 0 ? 1 : 0;
      } else {
        c = a->LastWriteTime < b->LastWriteTime ? -1 : a->LastWriteTime > b->LastWriteTime ? 1 : 0;
      }
      if (!flag) c = -c;
      if (c == 0) c = static_cast<long long>(a->LineNo) - b->LineNo;
      return c < 0;
    });
  }
};

size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Both layouts side by side in one run: heap bytes per record, time to take
// a million records, time to sort them by name and by date. Arg: with the
// four context lines (WidePreview) or without.
void LayoutAgainstPointers(benchmark::State& state) {
  const bool context = state.range(0) != 0;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    double bytes[2], fill[2], sort0[2], sort1[2];
    for (int layout = 0; layout < 2; ++layout) {
      const size_t before = HeapInUse();
      auto t0 = Clock::now();
      ResultStore store;
      PointerStore old;
      for (size_t i = 0; i < kRecords; ++i) {
        if (layout == 0) store.Take(Synthetic(i, context), {});
        else old.records.push_back(Synthetic(i, context));
      }
      fill[layout] = Ms(Clock::now() - t0);
      bytes[layout] = static_cast<double>(HeapInUse() - before) / kRecords;
      bool flag = false;
      t0 = Clock::now();
      if (layout == 0) SortStore(store, 0, flag, LocaleCompare);
      else old.Sort(0, false);
      sort0[layout] = Ms(Clock::now() - t0);
      t0 = Clock::now();
      if (layout == 0) SortStore(store, 1, flag, LocaleCompare);
      else old.Sort(1, false);
      sort1[layout] = Ms(Clock::now() - t0);
    }
    state.counters["bytes_per_rec"] = bytes[0];
    state.counters["old_bytes_per_rec"] = bytes[1];
    state.counters["mem_old/new"] = bytes[1] / bytes[0];
    state.counters["take_ms"] = fill[0];
    state.counters["take_old/new"] = fill[1] / fill[0];
    state.counters["sort_name_ms"] = sort0[0];
    state.counters["sort_name_old/new"] = sort0[1] / sort0[0];
    state.counters["sort_date_ms"] = sort1[0];
    state.counters["sort_date_old/new"] = sort1[1] / sort1[0];
  }
}
BENCHMARK(LayoutAgainstPointers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

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
