// What the search run needs from whoever shows it: the main window, the
// command line, or a test's fake. The run never touches widgets.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lorvek {

class SearchFrontEnd {
 public:
  virtual ~SearchFrontEnd() = default;
  // Status bar panel 0..4 (UTF-8). Panel 0 paths may be shortened for display.
  virtual void SetStatusText(int panel, const std::string& text) = 0;
  // Window caption and application title (UTF-8).
  virtual void SetTitle(const std::string& title) = 0;
  // The result list's row count (told at 20 records and at the end).
  virtual void SetRowCount(size_t rows) = 0;
  virtual void SetErrorLogVisible(bool visible) = 0;
  virtual void ShowError(const std::string& message) = 0;
  virtual void ShowWarning(const std::string& message) = 0;
  virtual void SetSearchingState(bool searching) = 0;
  virtual void ProcessPendingEvents() = 0;
  // A run begins: whatever shows the previous run's hit (the preview) goes.
  virtual void ClearPreview() {}
  // A closing report of a few lines (UTF-8) in the report window.
  virtual void ShowReport(const std::vector<std::string>& lines) { (void)lines; }
};

// A front end that ignores everything; handy as a base for small consumers.
class NullFrontEnd : public SearchFrontEnd {
 public:
  void SetStatusText(int, const std::string&) override {}
  void SetTitle(const std::string&) override {}
  void SetRowCount(size_t) override {}
  void SetErrorLogVisible(bool) override {}
  void ShowError(const std::string&) override {}
  void ShowWarning(const std::string&) override {}
  void SetSearchingState(bool) override {}
  void ProcessPendingEvents() override {}
};

}  // namespace lorvek
