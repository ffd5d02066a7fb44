// ExtListView1: the result list view. Whole-row, multi-row selection, no
// editing; Enter opens, Escape aborts the run, dragging carries hit files.
#pragma once

#include <QPoint>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

namespace lorvek {

class ResultList : public QTableView {
  Q_OBJECT
 public:
  static constexpr int kDragThreshold = 2;
  static constexpr size_t kMaxDragFiles = 1024;

  explicit ResultList(QWidget* parent = nullptr);

  std::function<void()> on_enter;
  std::function<void()> on_escape;
  // The files a drag carries (the selected rows' paths).
  std::function<std::vector<std::string>()> drag_paths;
  // Set when a drag would start; tests read it instead of running QDrag.
  std::function<void(const std::vector<std::string>&)> start_drag;

  std::vector<size_t> SelectedRows() const;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QPoint press_pos_;
  bool armed_ = false;
};

}  // namespace lorvek
