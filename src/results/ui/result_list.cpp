#include "results/ui/result_list.h"

#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include "ui/common/qt_text.h"

namespace lorvek {

ResultList::ResultList(QWidget* parent) : QTableView(parent) {
  setObjectName("ExtListView1");
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setWordWrap(false);
  verticalHeader()->setVisible(false);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setHighlightSections(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setAlternatingRowColors(false);
  start_drag = [this](const std::vector<std::string>& paths) {
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (const auto& p : paths) urls << UrlFromPathBytes(p);
    mime->setUrls(urls);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
  };
}

std::vector<size_t> ResultList::SelectedRows() const {
  std::vector<size_t> rows;
  if (!selectionModel()) return rows;
  for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(static_cast<size_t>(i.row()));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void ResultList::keyPressEvent(QKeyEvent* e) {
  if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && on_enter) {
    on_enter();
    return;
  }
  if (e->key() == Qt::Key_Escape && on_escape) {
    on_escape();
    return;
  }
  QTableView::keyPressEvent(e);
}

void ResultList::mousePressEvent(QMouseEvent* e) {
  press_pos_ = e->position().toPoint();
  armed_ = true;
  QTableView::mousePressEvent(e);
}

void ResultList::mouseReleaseEvent(QMouseEvent* e) {
  armed_ = false;
  QTableView::mouseReleaseEvent(e);
}

void ResultList::mouseMoveEvent(QMouseEvent* e) {
  if (armed_ && (e->buttons() & Qt::LeftButton)) {
    QPoint d = e->position().toPoint() - press_pos_;
    if ((std::abs(d.x()) > kDragThreshold || std::abs(d.y()) > kDragThreshold) && model() &&
        model()->rowCount() > 0) {
      armed_ = false;
      std::vector<std::string> paths = drag_paths ? drag_paths() : std::vector<std::string>{};
      if (!paths.empty() && paths.size() <= kMaxDragFiles && start_drag) start_drag(paths);
      return;
    }
    return;  // no rubber-band selection while armed for a drag
  }
  QTableView::mouseMoveEvent(e);
}

}  // namespace lorvek
