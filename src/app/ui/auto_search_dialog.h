// TAutoSearch "LorvekでGrep": the start dialog for a list of folders handed
// over by the command line or a later start.
#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QListWidget;
class QButtonGroup;

namespace lorvek {

struct AutoSearchValues {
  QString word;
  QString mask_text;
  bool fuzzy = true;
  bool whole_word = true;
  bool subfolders = true;
  bool archives = false;
  int code_mode = 1;  // 0..3
};

class TAutoSearch : public QDialog {
  Q_OBJECT
 public:
  static const char* const kNeedMask;
  static const char* const kNeedWord;

  TAutoSearch(const QStringList& folders, const AutoSearchValues& values, const QStringList& word_history,
              const QStringList& mask_items, QWidget* parent = nullptr);
  AutoSearchValues Values() const;
  // The message of the last refused OK (empty when none).
  QString LastMessage() const { return last_message_; }
  // When set, validation messages are recorded instead of shown (tests).
  bool quiet = false;

  QComboBox* WordBox() const { return word_; }
  QComboBox* MaskBox() const { return masks_; }

 public slots:
  void TryAccept();

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  QListWidget* folders_;
  QComboBox* word_;
  QComboBox* masks_;
  QCheckBox* fuzzy_;
  QCheckBox* whole_word_;
  QCheckBox* subfolders_;
  QCheckBox* archives_;
  QButtonGroup* code_mode_;
  QString last_message_;
};

}  // namespace lorvek
