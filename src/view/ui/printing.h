// Printing the viewer's text: the print dialog (TPrintDlg), the string
// printer that lays the text out into recorded pages and plays them on the
// printer or on screen (TStringsPrinter), its progress window and the
// preview window.
#pragma once

#include <QDialog>
#include <QFont>
#include <QPicture>

#include <functional>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "view/print_layout.h"

class QComboBox;
class QCheckBox;
class QLabel;
class QPrinter;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;

namespace lorvek {

class TPrintDlg : public QDialog {
  Q_OBJECT
 public:
  enum class Choice { Cancel, Ok, Preview };
  TPrintDlg(TIniGT& ini, QPrinter& printer, QWidget* parent = nullptr);
  Choice Chosen() const { return chosen_; }
  // The settings as the controls hold them (the entries' codes resolved).
  PrintSettings Settings() const;
  QComboBox* HeaderBox() const { return header_; }
  QComboBox* FooterBox() const { return footer_; }
  QPushButton* Button(const char* name) const;
  QRadioButton* Columns(int n) const;
  QCheckBox* LineNumbers() const { return line_numbers_; }

 protected:
  void done(int result) override;

 private:
  TIniGT& ini_;
  QPrinter& printer_;
  Choice chosen_ = Choice::Cancel;
  QComboBox *header_, *footer_;
  std::array<QRadioButton*, 3> header_pos_{}, footer_pos_{}, columns_{};
  std::array<QSpinBox*, 4> margins_{};
  QCheckBox* line_numbers_;
  std::map<std::string, QPushButton*> buttons_;
};

// The codes an entry of the header or footer box stands for ("ページ番号"
// "%p", ...), or the text itself.
std::string PrintEntryCodes(const std::string& utf8_text);

class TStringsPrinter {
 public:
  // lines: Shift-JIS, tabs already expanded.
  TStringsPrinter(QPrinter& printer, const QFont& font, const PrintSettings& s, std::string path,
                  std::vector<std::string> lines);
  // Lays the text out with the progress window ("印刷中" or
  // "プレビューを作成中"); false when its Cancel was pressed.
  bool Prepare(bool for_preview);
  // Plays every page on the printer; "" or the error's text.
  std::string Print();
  int PageCount() const { return static_cast<int>(pages_.size()); }
  const PageGeometry& Geometry() const { return geometry_; }
  QSize PaperPixels() const { return paper_; }
  // Draws page index scaled by scale onto a painter, the paper's offsets
  // included.
  void DrawPage(QPainter& painter, int index, double scale) const;
  const std::vector<PrintPage>& Pages() const { return layout_; }

  // Told the progress after each line; returning false stands for Cancel.
  std::function<bool(size_t done, size_t total)> on_progress;

 private:
  QPrinter& printer_;
  QFont font_;
  PrintSettings settings_;
  std::string path_;
  std::vector<std::string> lines_;
  PageGeometry geometry_;
  QSize paper_;
  std::vector<PrintPage> layout_;
  mutable std::vector<QPicture> pages_;  // playing a picture is not const in Qt
};

// "Preview": the recorded pages on screen, page by page, at 100%, fitted to
// the width or to the height.
class TPreviewWindow : public QDialog {
  Q_OBJECT
 public:
  TPreviewWindow(const TStringsPrinter& printer, QWidget* parent = nullptr);
  int Page() const { return page_; }
  double Zoom() const { return zoom_; }
  QLabel* PageLabel() const { return label_; }
  QPushButton* Button(const char* name) const;
  void ShowPage(int page);

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void Redraw();

  const TStringsPrinter& printer_;
  int page_ = 0;
  double zoom_ = 1;  // of the 100% size
  QLabel* label_;
  QLabel* picture_;
  QScrollArea* area_;
  std::map<std::string, QPushButton*> buttons_;
};

}  // namespace lorvek
