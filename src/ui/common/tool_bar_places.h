// Tool bars placed as the settings keep them: each docked to its side of
// its window, rows and places in a row in the order recorded.
#pragma once

#include <utility>
#include <vector>

#include "settings/options.h"

class QMainWindow;
class QToolBar;

namespace lorvek {

// Docks each bar to its side (a damaged side reads as the top), sorted by
// side, row and place, a new row where the row changes.
void DockToolBars(QMainWindow& window, std::vector<std::pair<QToolBar*, ToolBarPlacement>> bars);
// Where a bar stands now; visible as the caller knows it.
ToolBarPlacement PlacementOf(const QMainWindow& window, const QToolBar& bar, bool visible);

}  // namespace lorvek
