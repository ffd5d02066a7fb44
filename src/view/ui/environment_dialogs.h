// The dialogs of file environments: the editor-properties dialog
// (TmEditorProp, also with the viewer's 31 shortcuts), the per-file
// environment table (TFileEnv) and the small "環境の保存" (TEnvSaveAs).
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <map>
#include <utility>
#include <vector>
#include <string>

#include "settings/ini_file.h"
#include "view/environment.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QKeySequenceEdit;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace lorvek {

class TmEditorProp : public QDialog {
  Q_OBJECT
 public:
  // shortcuts: the [Viewer] keys and their values, shown on a page of their
  // own when given (the viewer's "現在の設定(&P)..."); commands: the order
  // and the caption each key is shown under.
  TmEditorProp(const QString& caption, const EditorProperties& p,
               const std::map<std::string, std::string>* shortcuts = nullptr, QWidget* parent = nullptr,
               const std::vector<std::pair<std::string, QString>>* commands = nullptr);
  EditorProperties Properties() const;
  std::map<std::string, std::string> Shortcuts() const;
  QSpinBox* FontSize() const { return font_size_; }
  QCheckBox* WordWrap() const { return word_wrap_; }
  QCheckBox* Kinsoku() const { return kinsoku_; }

 private:
  EditorProperties base_;
  QFontComboBox* font_;
  QSpinBox *font_size_, *tab_width_, *wrap_width_;
  QCheckBox *line_numbers_, *show_tabs_, *show_line_ends_, *h_scroll_, *v_scroll_, *caret_line_, *word_wrap_, *kinsoku_;
  std::array<unsigned, 4> colors_{};
  std::map<std::string, QKeySequenceEdit*> keys_;
};

class TEnvSaveAs : public QDialog {
  Q_OBJECT
 public:
  TEnvSaveAs(const QString& name, const QString& ext, QWidget* parent = nullptr);
  QString Name() const;
  QString Ext() const;
  QLineEdit* NameEdit() const { return name_; }

 private:
  QLineEdit *name_, *ext_;
};

class TFileEnv : public QDialog {
  Q_OBJECT
 public:
  TFileEnv(TIniGT& ini, std::string program_folder, QWidget* parent = nullptr);
  const EnvTable& Table() const { return table_; }
  QTableWidget* Grid() const { return grid_; }
  QPushButton* Button(const char* name) const;
  QLineEdit* NameEdit() const { return name_; }
  QLineEdit* ExtEdit() const { return ext_; }

  // Hooks for tests: file choice, yes/no questions, messages, sub-dialogs.
  std::function<QString(bool save, const QString& suggested)> choose_file;
  std::function<bool(const QString& question)> confirm;
  std::function<void(const QString& message)> tell;
  std::function<int(QDialog&)> run;

  // The buttons' work.
  bool LoadFile(const std::string& path);
  void Delete();
  void SaveAsRow();
  void UpdateRow();
  void Settings();

 protected:
  void done(int result) override;

 private:
  int Row() const;
  void Fill();
  void SelectRow(int row);
  void UpdateButtons();
  QString Choose(bool save, const QString& suggested);
  bool Confirm(const QString& question);
  void Tell(const QString& message);
  int Run(QDialog& d);

  TIniGT& ini_;
  std::string program_folder_;
  EnvTable table_;
  QTableWidget* grid_;
  QLineEdit *name_, *ext_;
  std::map<std::string, QPushButton*> buttons_;
};

}  // namespace lorvek
