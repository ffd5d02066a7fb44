// TOptionPanel "ｵﾌﾟｼｮﾝ設定": the options of [Options] on pages chosen from a
// tree, the twenty mask sets, the archive formats this machine can read and
// the file managers' command. It edits a copy: Cancel changes nothing.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "settings/mask_sets.h"
#include "settings/options.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QTreeWidget;

namespace lorvek {

// What the archive reader can read here: LHA, ZIP, the ZIP writer, ARJ,
// RAR, CAB, TAR (the seven flags of the options dialog, in its order).
struct ArchiveProbe {
  bool lzh = false, zip = false, zip_writer = false, arj = false, rar = false, cab = false, tar = false;
  static ArchiveProbe OfThisMachine();
};

struct OptionsDialogData {
  Options options;
  std::array<MaskSet, kMaskSetRows> masks;          // the grid's rows as stored
  std::vector<std::string> archive_masks;  // the archive mask list in use
  bool show_tag = true;                    // [Viewer] ShowTag
  bool registered = false;                 // the file managers' command is installed
};

class TOptionPanel : public QDialog {
  Q_OBJECT
 public:
  TOptionPanel(const OptionsDialogData& data, const ArchiveProbe& probe, QWidget* parent = nullptr);
  // The values as the controls hold them.
  OptionsDialogData Values() const;
  bool RegistrationWanted() const;

  QTreeWidget* Tree() const { return tree_; }
  QStackedWidget* Pages() const { return pages_; }
  QComboBox* EditorList() const { return editor_list_; }
  QTableWidget* MaskGrid() const { return grid_; }
  // A control by its setting's key ("UseEditor", "Arc.RAR", ...).
  QWidget* Control(const QString& key) const;

  // Asks for a program file (browse buttons); tests answer instead.
  std::function<QString(const QString& caption)> choose_program;

 private:
  void AddPage(const QString& name, QWidget* page);
  void OnEditorChosen(int index);
  void UpdateEditorEnabling();
  QString Browse(const QString& caption);

  OptionsDialogData base_;
  QTreeWidget* tree_;
  QStackedWidget* pages_;
  QComboBox* editor_list_;
  QTableWidget* grid_;
  int code_mode_shown_ = 1;
  // The archive boxes (LZH, ZIP, ARJ, RAR, CAB, TAR) as shown, and which
  // formats are readable: a box left as it was keeps its masks.
  std::array<bool, 6> archive_shown_{};
  std::array<bool, 6> archive_available_{};
};

}  // namespace lorvek
