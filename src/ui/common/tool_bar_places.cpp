#include "ui/common/tool_bar_places.h"

#include <QMainWindow>
#include <QToolBar>

#include <algorithm>

namespace lorvek {
namespace {

const Qt::ToolBarArea kAreas[4] = {Qt::TopToolBarArea, Qt::BottomToolBarArea, Qt::LeftToolBarArea,
                                   Qt::RightToolBarArea};

int SideOf(const ToolBarPlacement& p) { return p.docked_to >= 0 && p.docked_to < 4 ? p.docked_to : 0; }

}  // namespace

void DockToolBars(QMainWindow& window, std::vector<std::pair<QToolBar*, ToolBarPlacement>> bars) {
  std::stable_sort(bars.begin(), bars.end(), [](const auto& a, const auto& b) {
    const int sa = SideOf(a.second), sb = SideOf(b.second);
    if (sa != sb) return sa < sb;
    if (a.second.dock_row != b.second.dock_row) return a.second.dock_row < b.second.dock_row;
    return a.second.dock_pos < b.second.dock_pos;
  });
  int last_side = -1, last_row = 0;
  for (const auto& [bar, p] : bars) {
    const int side = SideOf(p);
    if (side == last_side && p.dock_row != last_row) window.addToolBarBreak(kAreas[side]);
    window.addToolBar(kAreas[side], bar);
    last_side = side;
    last_row = p.dock_row;
  }
}

ToolBarPlacement PlacementOf(const QMainWindow& window, const QToolBar& bar, bool visible) {
  const Qt::ToolBarArea area = window.toolBarArea(&bar);
  const bool vertical = area == Qt::LeftToolBarArea || area == Qt::RightToolBarArea;
  ToolBarPlacement p;
  p.rev = 1;
  p.visible = visible;
  p.docked_to = area == Qt::BottomToolBarArea ? 1 : area == Qt::LeftToolBarArea ? 2 : area == Qt::RightToolBarArea ? 3 : 0;
  p.dock_row = vertical ? bar.x() : bar.y();
  p.dock_pos = vertical ? bar.y() : bar.x();
  p.float_left = bar.isFloating() ? bar.x() : 0;
  p.float_top = bar.isFloating() ? bar.y() : 0;
  return p;
}

}  // namespace lorvek
