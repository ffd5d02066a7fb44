// TFindFileDlg "ﾌｧｲﾙﾏｽｸ編集": the masks one per line and the mask mode.
// OK and Escape both apply the edits.
#pragma once

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QRadioButton;

namespace lorvek {

class TFindFileDlg : public QDialog {
  Q_OBJECT
 public:
  TFindFileDlg(const QString& mask_text, int find_mode, QWidget* parent = nullptr);
  QStringList Masks() const;
  int FindMode() const;
  // The edited masks joined as comma text.
  QString MaskText() const;

 protected:
  void reject() override { accept(); }  // Escape keeps the edits too

 private:
  QPlainTextEdit* memo_;
  QRadioButton* select_;
  QRadioButton* exclude_;
};

}  // namespace lorvek
