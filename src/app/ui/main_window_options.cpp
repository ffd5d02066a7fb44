// The options dialog from the main window: filling it, and taking every
// value back when it closes with OK.
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>

#include "app/desktop_integration.h"
#include "settings/settings_schema.h"
#include "app/ui/main_window.h"
#include "app/ui/mask_box.h"
#include "app/ui/options_dialog.h"
#include "ui/common/qt_text.h"
#include "results/ui/preview_pane.h"
#include "results/ui/result_list.h"
#include "results/ui/result_model.h"
#include "search/mask.h"

namespace lorvek {

void TLorvekMain::EditOptions() {
  if (run_->Searching()) return;
  OptionsDialogData data;
  data.options = options_;
  data.masks = ReadMaskSetRows(ini_);
  data.archive_masks = run_->WildMatch2().Mask();  // the list in use
  data.show_tag = ReadMember(ini_, &ViewerSection::show_tag);
  data.registered = IsIntegrationRegistered();
  TOptionPanel d(data, ArchiveProbe::OfThisMachine(), this);
  if (show_options) show_options(d);
  else d.exec();
  if (d.result() != QDialog::Accepted) return;
  const OptionsDialogData v = d.Values();
  auto tell = [this](const char* caption, const char* text) {
    if (show_message) return show_message(U(caption), U(text));
    QMessageBox::information(this, U(caption), U(text));
  };
  // The file managers' command, when its box changed.
  if (v.registered != data.registered) {
    if (v.registered) {
      const std::string program = QApplication::applicationFilePath().toStdString();
      if (RegisterIntegration(program).empty()) tell(kRegisteredCaption, kRegistered);
      else tell(kRegisterFailedCaption, kRegisterFailed);
    } else {
      if (UnregisterIntegration().empty()) tell(kUnregisteredCaption, kUnregistered);
      else tell(kUnregisterFailedCaption, kUnregisterFailed);
    }
  }
  // Every value back, and what depends on them.
  options_ = v.options;
  SyncSwitchesFromOptions();
  run_->options() = options_.search;
  list_->setColumnHidden(ResultModel::kDate, !options_.show_f_date);
  run_->WildMatch3().SetMasks(SplitCommaText(options_.filter_ext));
  // Mask sets and archive masks are written at once.
  std::vector<MaskSet> sets(v.masks.begin(), v.masks.end());
  if (!ini_.IsReadOnly() && !headless_) {
    WriteMaskSets(ini_, sets);
    std::string arc;
    for (const std::string& m : v.archive_masks) arc += (arc.empty() ? "" : ",") + m;
    options_.arc_files = arc;
    WriteOptionKeys(ini_, options_, {&Options::arc_files});
    ViewerSection viewer;
    viewer.show_tag = v.show_tag;
    WriteSection(ini_, viewer, {&ViewerSection::show_tag});
  }
  run_->WildMatch2().SetMasks(v.archive_masks);
  mask_sets_ = ReadMaskSets(ini_);
  file_masks_->SetEntries(mask_sets_);
  memo1_->setVisible(options_.preview);
  if (preview_act_) preview_act_->setChecked(options_.preview);
}

}  // namespace lorvek
