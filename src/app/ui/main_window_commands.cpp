// The commands of the main window and its front end for the search run.
#include <QAction>

#include <chrono>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/ui/find_file_dialog.h"
#include "app/ui/main_window.h"
#include "app/ui/mask_box.h"
#include "ui/common/qt_text.h"
#include "results/export_formats.h"
#include "results/ui/preview_pane.h"
#include "results/ui/result_list.h"
#include "results/ui/result_model.h"
#include "results/result_rows.h"
#include "text/file_bytes.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lorvek {

// ---- front end of the search run ----

void TLorvekMain::SetStatusText(int panel, const std::string& text) {
  if (panel < 0 || panel > 4) return;
  QString t = QString::fromUtf8(text);
  if (panel == 0) {
    t = panels_[0]->fontMetrics().elidedText(t, Qt::ElideMiddle, 260);
    panel0_text_ = t;
    panels_[0]->setText(t);
    return;
  }
  if (!status_timer_) {
    status_timer_ = new QTimer(this);
    status_timer_->setSingleShot(true);
    connect(status_timer_, &QTimer::timeout, this, &TLorvekMain::ShowPendingStatusTexts);
  }
  pending_text_[panel] = t;
  if (!status_timer_->isActive()) status_timer_->start(40);
}

void TLorvekMain::ShowPendingStatusTexts() {
  for (int panel = 1; panel < 5; ++panel) {
    if (pending_text_[panel].isNull()) continue;
    ShowStatusText(panel, pending_text_[panel]);
    pending_text_[panel] = QString();
  }
}

void TLorvekMain::ShowStatusText(int panel, const QString& t) {
  // A counter never gets cut: the panel grows to its text. The counter
  // changes with every hit, so it is measured with each digit as the
  // widest one, and only when that shape changes (a digit more).
  QChar& widest = widest_digit_[panel];
  if (widest.isNull()) {
    const QFontMetrics metrics = panels_[panel]->fontMetrics();
    widest = u'0';
    for (char16_t d = u'1'; d <= u'9'; ++d)
      if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(widest)) widest = QChar(d);
  }
  QString shape = t;
  for (QChar& c : shape)
    if (c >= u'0' && c <= u'9') c = widest;
  if (shape != panel_shape_[panel]) {
    const QFontMetrics metrics = panels_[panel]->fontMetrics();
    panel_shape_[panel] = shape;
    const int needed = metrics.horizontalAdvance(shape) + 12;
    if (needed > panels_[panel]->minimumWidth()) panels_[panel]->setMinimumWidth(needed);
  }
  panels_[panel]->setText(t);
}

void TLorvekMain::ClearPreview() { memo1_->Clear(); }

QString TLorvekMain::StatusText(int panel) const {
  return pending_text_[panel].isNull() ? panels_[panel]->text() : pending_text_[panel];
}

void TLorvekMain::SetTitle(const std::string& title) {
  // The window title is what the task bar shows; the application's display
  // name is left alone (Qt would append it to every caption).
  setWindowTitle(QString::fromUtf8(title));
}

void TLorvekMain::SetRowCount(size_t rows) { model_->SetRowCount(rows); }

void TLorvekMain::SetErrorLogVisible(bool visible) { error_log_act_->setVisible(visible); }

void TLorvekMain::Message(const QString& given, bool warning, bool wait) {
  const QString text = OneBreak(given);
  if (show_message) return show_message(windowTitle(), text);
  if (headless_) {
    const std::string line = "lorvek: " + text.toStdString() + "\n";
    ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
    (void)ignored;
    headless_failed_ = true;
    return;
  }
  if (wait) {
    if (warning) QMessageBox::warning(this, U("Lorvek"), text);
    else QMessageBox::critical(this, U("Lorvek"), text);
    return;
  }
  auto* box = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Critical, U("Lorvek"), text,
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void TLorvekMain::ShowError(const std::string& message) { Message(QString::fromUtf8(message), false); }
void TLorvekMain::ShowWarning(const std::string& message) { Message(QString::fromUtf8(message), true); }

void TLorvekMain::SetSearchingState(bool on) {
  find_act_->setEnabled(!on);
  exit_act_->setEnabled(!on);
  property_act_->setEnabled(!on);
  abort_act_->setEnabled(on);
  for (QMenu* m : {file_menu_, view_menu_, tool_menu_, help_menu_, option_menu_}) m->setEnabled(!on);
  for (QToolBar* tb : {toolbar1_, toolbar3_, toolbar4_}) tb->setEnabled(!on);
  memo1_->setEnabled(!on);
  // Replace: nothing while a search runs; after one, all hits when there are some.
  repl_sel_act_->setEnabled(!on && !list_->SelectedRows().empty());
  repl_all_act_->setEnabled(!on && !store_.empty());
}

void TLorvekMain::ProcessPendingEvents() {
  // Asked for at every file: the window is served every 15 ms, which keeps
  // it alive and the abort command prompt without costing the search.
  const auto now = std::chrono::steady_clock::now();
  if (now - last_events_ < std::chrono::milliseconds(15)) return;
  last_events_ = now;
  QApplication::processEvents();
}

// ---- search ----

void TLorvekMain::FindButtonClick() {
  if (run_->Searching()) return;
  std::string word;
  std::string masks;
  if (!CheckedSjis(find_word_->currentText(), &word) || !CheckedSjis(file_masks_->currentText(), &masks)) return;
  std::string path = ToPath(find_path_->currentText());
  if (word.empty() || path.empty()) {
    Message(U("検索フォルダまたはキーワードを設定して下さい."), true);
    return;
  }
  list_->setFocus();  // the word box loses the focus: its history entry is made
  AddWordHistory(word);
  AddFolderHistory(path);
  run_->options() = options_.search;
  run_->FindButtonClick(word, path, masks);
}

// The run notices the request between files and ends through its usual
// steps, which give the controls back; until then Grep and 閉じる stay
// disabled, as they can do nothing while the run finishes its file.
void TLorvekMain::AbortBtnClick() {
  run_->RequestAbort();
  abort_act_->setEnabled(false);
}

TLorvekMain::ReplacingScope::ReplacingScope(TLorvekMain& w) : w_(w) {
  w_.run_->SetSearching(true);
  for (QAction* a : {w_.find_act_, w_.exit_act_, w_.property_act_, w_.repl_sel_act_, w_.repl_all_act_})
    a->setEnabled(false);
}

TLorvekMain::ReplacingScope::~ReplacingScope() {
  w_.run_->SetSearching(false);
  for (QAction* a : {w_.find_act_, w_.exit_act_, w_.property_act_}) a->setEnabled(true);
  w_.abort_act_->setEnabled(false);
  w_.repl_all_act_->setEnabled(!w_.store_.empty());
  w_.OnSelectionChanged();
}

bool TLorvekMain::CheckedSjis(const QString& text, std::string* out) {
  const std::string utf8 = text.toUtf8().toStdString();
  if (ExternalToCp932Exact(utf8, out)) return true;
  Message(QString::fromUtf8(UnmappableTextMessage(utf8)), false);
  return false;
}

void TLorvekMain::OnSwitchToggled() {
  ChangeOptions([this](Options& o) {
    o.search.find_also_archive = arc_act_->isChecked();
    o.search.find_sub = sub_act_->isChecked();
    o.search.whole_word = word_act_->isChecked();
    o.search.fuzzy_char = fuzzy_act_->isChecked();
  });
}

// ---- the list ----

void TLorvekMain::OnSelectionChanged() {
  std::vector<size_t> rows = list_->SelectedRows();
  UpdateRowCommands();
  if (rows.empty() || rows[0] >= store_.size()) return;
  const RecordView r = store_[rows[0]];
  SetStatusText(0, PathForDisplay(lorvek::StatusText(r)));
  if (!memo1_->isVisible()) return;
  memo1_->Clear();
  PreviewSettings s;
  s.wide_preview = options_.search.wide_preview;
  s.prev_line = options_.prev_line;
  s.next_line = options_.next_line;
  CompiledWordRef word = run_->Compiled();
  memo1_->ShowPreview(BuildPreview(r, s, word ? &word->Term(0) : nullptr));
}

void TLorvekMain::OnHeaderClicked(int column) {
  QHeaderView* h = list_->horizontalHeader();
  // The arrow as the control decides it: descending on a new column, else flipped.
  last_sort_descending_ = (column != last_sort_column_) ? true : !last_sort_descending_;
  last_sort_column_ = column;
  h->setSortIndicator(column, last_sort_descending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
  // The store is still growing while a run goes on: sort it afterwards.
  if ((column != 0 && column != 1) || run_->Searching()) return;
  int scroll = list_->verticalScrollBar()->value();
  SortStore(store_, column, sort_flags_[column],
            [](const std::string& a, const std::string& b) {
              return QString::localeAwareCompare(FromPath(a), FromPath(b));
            });
  size_t rows = model_->RowCount();
  model_->SetRowCount(0);
  model_->SetRowCount(rows);
  list_->verticalScrollBar()->setValue(scroll);
}

void TLorvekMain::UpdateRowCommands() {
  const bool any = !store_.empty();
  const bool selected = !list_->SelectedRows().empty();
  copy_names_act_->setEnabled(any);
  copy_folder_act_->setEnabled(any);
  tag_menu_->setEnabled(any);
  const bool searching = run_->Searching();
  repl_all_act_->setEnabled(any && !searching);
  repl_sel_act_->setEnabled(selected && !searching);
  open_viewer_act_->setEnabled(selected && !searching);
  open_editor_act_->setEnabled(selected && !searching && !options_.editor.empty());
  open_app_act_->setEnabled(selected && !searching);
}

void TLorvekMain::ShowContextMenu(const QPoint& pos) {
  const bool selected = !list_->SelectedRows().empty();
  QMenu menu(this);
  QAction* viewer = menu.addAction(U("内蔵ビュワーで表示(&V)..."));
  QAction* editor = menu.addAction(U("エディタで開く(&E)..."));
  QAction* app = menu.addAction(U("アプリケーションから開く(&O)..."));
  const bool idle = !run_->Searching();
  viewer->setEnabled(selected && idle);
  editor->setEnabled(selected && idle && !options_.editor.empty());
  app->setEnabled(selected && idle);
  connect(viewer, &QAction::triggered, this, [this] { OpenHit(OpenForce::Viewer); });
  connect(editor, &QAction::triggered, this, [this] { OpenHit(OpenForce::Editor); });
  connect(app, &QAction::triggered, this, &TLorvekMain::OpenWithApplication);
  menu.addSeparator();
  QAction* names = menu.addAction(U("ファイル名をコピー(&C)"), this, &TLorvekMain::CopyFileNames);
  QAction* folder = menu.addAction(U("パス名をコピー(&P)"), this, &TLorvekMain::CopyFolder);
  names->setEnabled(selected);
  folder->setEnabled(selected);
  menu.exec(list_->viewport()->mapToGlobal(pos));
}

void TLorvekMain::CopyFileNames() {
  // The text for reading, the URLs with the names' own bytes for pasting as files.
  QString text;
  QList<QUrl> urls;
  for (const auto& p : HitFilePaths(store_, list_->SelectedRows(), work_folder_.Folder())) {
    text += FromPath(p) + "\n";
    urls << UrlFromPathBytes(p);
  }
  auto* mime = new QMimeData;
  mime->setText(text);
  mime->setUrls(urls);
  QApplication::clipboard()->setMimeData(mime);
}

void TLorvekMain::CopyFolder() {
  std::vector<size_t> rows = list_->SelectedRows();
  if (rows.empty()) return;
  QApplication::clipboard()->setText(FromPath(FolderOfRow(store_[rows[0]])));
}

void TLorvekMain::FocusFirstRow() {
  if (store_.empty() || model_->rowCount() == 0) return;
  list_->selectRow(0);
  list_->setFocus();
}

void TLorvekMain::TogglePreview(bool on) {
  memo1_->setVisible(on);
  ChangeOptions([on](Options& o) { o.preview = on; });
  if (on) OnSelectionChanged();
}

// ---- exports ----

void TLorvekMain::WriteTagList() {
  if (output_target_ == "COPY") {
    QString text;
    for (const auto& l : TagLines(store_)) text += FromSjis(l) + "\n";
    QApplication::clipboard()->setText(text);
  } else if (output_target_ == "-") {
    // Written as it is made, a chunk at a time: a long list is not held
    // as text beside the store.
    std::string out;
    bool reader_gone = false;
    auto flush = [&] {
      size_t done = 0;
      while (done < out.size() && !reader_gone) {
        ssize_t w = write(STDOUT_FILENO, out.data() + done, out.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno == EPIPE) reader_gone = true;  // the reader has gone: not an error
        else if (w < 0) throw EExportError("ｽﾄﾘｰﾑへの書き込みｴﾗｰ: " + std::string(std::strerror(errno)));
        else done += static_cast<size_t>(w);
      }
      out.clear();
    };
    for (size_t i = 0; i < store_.size() && !reader_gone; ++i) {
      out += Cp932ToUtf8(TagLine(store_[i]));
      out += '\n';
      if (out.size() >= (size_t{1} << 20)) flush();
    }
    flush();
  } else {
    lorvek::WriteTagList(output_target_, store_);
  }
}

void TLorvekMain::TagListOutput() {
  if (!output_requested_) return;
  try {
    WriteTagList();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

namespace {
QString SaveName(QWidget* parent, QString& last, const char* def, const char* filter, const char* ext) {
  QFileDialog dlg(parent, U("保存するファイルを指定してください."));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setNameFilters(U(filter).split("|", Qt::SkipEmptyParts).filter("("));
  if (ext) dlg.setDefaultSuffix(U(ext));
  dlg.selectFile(last.isEmpty() ? U(def) : last);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  last = dlg.selectedFiles().first();
  return last;
}
}  // namespace

void TLorvekMain::ExportTagFile() {
  QString name = SaveName(this, last_tag_name_, "lorvektag.txt",
                          "テキストファイル(*.txt)|*.txt|すべてのファイル(*.*)|*.*", nullptr);
  if (name.isEmpty()) return;
  output_target_ = ToPath(name);
  try {
    WriteTagList();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TLorvekMain::ExportCsv() {
  QString name = SaveName(this, last_csv_name_, "lorvek.csv", "CSVファイル(*.csv)|*.csv|全てのファイル(*.*)|*.*", "csv");
  if (name.isEmpty()) return;
  try {
    WriteCsv(ToPath(name), store_, {options_.csv_terms, options_.csv_quates});
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TLorvekMain::ExportHtml() {
  QString name = SaveName(this, last_html_name_, "lorvektag.htm",
                          "HTMLファイル(*.htm)|*.htm|すべてのファイル(*.*)|*.*", nullptr);
  if (name.isEmpty()) return;
  std::string word = ToSjis(find_word_->currentText());
  try {
    WriteHtmlReport(ToPath(name), store_, {word, FormatLocalTime(run_->SearchStartTime())},
                    options_.search.fuzzy_char);
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TLorvekMain::CopyTagList() {
  output_target_ = "COPY";
  WriteTagList();
}

void TLorvekMain::OpenTagListInEditor() {
  try {
    work_folder_.Ensure();
  } catch (const std::exception& e) {
    return ShowError(e.what());
  }
  std::string editor = options_.editor;
  if (editor.empty() || !QFileInfo::exists(FromPath(editor))) {
    Message(U("エディタが見つかりません."), true);
    return;
  }
  output_target_ = work_folder_.Folder() + "/lorvektag.txt";
  try {
    WriteTagList();
  } catch (const std::exception& e) {
    return ShowError(e.what());
  }
  qint64 pid = 0;
  if (!QProcess::startDetached(FromPath(editor), {FromPath(output_target_)}, QString(), &pid))
    ShowError("実行エラー" + std::to_string(errno));
  rmdir(work_folder_.Folder().c_str());  // succeeds only when empty
}

// ---- small commands ----

void TLorvekMain::AddWordHistory(const std::string& word) {
  if (word.empty()) return;
  history_words_.AddHistory(word);
  FillHistoryBox(find_word_, history_words_, false);
}

void TLorvekMain::AddFolderHistory(const std::string& folder) {
  if (folder.empty()) return;
  history_folders_.AddHistory(folder);
  FillHistoryBox(find_path_, history_folders_, false);
}

void TLorvekMain::ClearHistory(bool words) {
  const char* question = words ? "検索語の履歴を消去しますか?" : "検索フォルダの履歴を消去しますか?";
  if (QMessageBox::question(this, U("Lorvek"), U(question)) != QMessageBox::Yes) return;
  (words ? history_words_ : history_folders_).Clear();
  QComboBox* box = words ? find_word_ : find_path_;
  QString text = box->currentText();
  box->clear();
  box->setEditText(text);
}

void TLorvekMain::BrowseFolder() {
  QString dir = QFileDialog::getExistingDirectory(this, U("検索するﾌｫﾙﾀﾞを指定"), find_path_->currentText());
  if (dir.isEmpty()) return;
  find_path_->setEditText(dir);
  AddFolderHistory(ToPath(dir));
}

void TLorvekMain::InputWord() {
  bool ok = false;
  QString t = QInputDialog::getText(this, U("検索語"), U("検索する語を入力"), QLineEdit::Normal,
                                    find_word_->currentText(), &ok);
  if (ok) find_word_->setEditText(t);
}

void TLorvekMain::InputMasks() {
  bool ok = false;
  QString t = QInputDialog::getText(this, U("検索対象ファイル"), U("検索するファイルマスクを入力"), QLineEdit::Normal,
                                    file_masks_->currentText(), &ok);
  if (ok) file_masks_->setEditText(t);
}

void TLorvekMain::EditMasks() {
  TFindFileDlg dlg(file_masks_->currentText(), options_.search.find_mode, this);
  QPoint below = toolbar4_->mapToGlobal(QPoint(12, toolbar4_->height() + 40));
  dlg.move(below);
  dlg.exec();
  ChangeOptions([&](Options& o) { o.search.find_mode = dlg.FindMode(); });
  file_masks_->setEditText(dlg.MaskText());
  std::vector<std::string> masks;
  for (const QString& m : dlg.Masks()) masks.push_back(ToSjis(m));
  run_->WildMatch1().SetMasks(masks);
  find_word_->setFocus();
}

void TLorvekMain::ShowHelp() {
  // Beside the program (a build or portable copy), else where an
  // installation puts it.
  QString path = QString::fromStdString(program_folder_) + "help/index.html";
  if (!QFileInfo::exists(path)) path = QCoreApplication::applicationDirPath() + "/help/index.html";
  if (!QFileInfo::exists(path)) path = QCoreApplication::applicationDirPath() + "/../share/lorvek/help/index.html";
  auto* w = new QTextBrowser;
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->setWindowTitle(U("Lorvek ヘルプ"));
  w->setObjectName("HelpWindow");
  w->setSource(QUrl::fromLocalFile(path));
  w->resize(720, 560);
  PlaceOnScreenOver(w);
  w->show();
}

void TLorvekMain::PlaceOnScreenOver(QWidget* w) const {
  // Centred over this window and wholly on its screen, shrunk when the
  // screen is smaller: a window that opens past the screen's edge cannot be
  // moved by its title bar back into sight.
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect avail = screen->availableGeometry();
  // The frame the window manager will add, as this window has it.
  const QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                       frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
  const QSize room = avail.size() - QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
  w->resize(std::min(w->width(), room.width()), std::min(w->height(), room.height()));
  // move() places the frame's corner.
  const QSize whole = w->size() + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
  QPoint at = frameGeometry().center() - QPoint(whole.width() / 2, whole.height() / 2);
  at.setX(std::clamp(at.x(), avail.left(), avail.right() - whole.width() + 1));
  at.setY(std::clamp(at.y(), avail.top(), avail.bottom() - whole.height() + 1));
  w->move(at);
}

void TLorvekMain::ShowAbout() {
  QDialog dlg(this);
  dlg.setObjectName("TAboutDlg");
  dlg.setWindowTitle(U("Lorvekについて"));
  // Wide enough for its caption in the title bar.
  dlg.setMinimumWidth(dlg.fontMetrics().horizontalAdvance(dlg.windowTitle()) * 2 + 120);
  auto* layout = new QVBoxLayout(&dlg);
  layout->addWidget(new QLabel(U("Lorvek"), &dlg));
  auto* version = new QLabel(U(LORVEK_VERSION), &dlg);
  version->setObjectName("Version");
  layout->addWidget(version);
  auto* ok = new QPushButton(U("&OK"), &dlg);
  connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignCenter);
  dlg.adjustSize();
  dlg.move(x() + (width() - dlg.width()) / 2, y() + (height() - dlg.height()) / 2);
  dlg.exec();
}

void TLorvekMain::ShowErrorLog() {
  // The log in a plain read-only window: it is read, never edited.
  auto* w = new QPlainTextEdit;
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->setReadOnly(true);
  w->setWindowTitle(FromPath(run_->ErrorLog()));
  try {
    w->setPlainText(FromSjis(ReadFileBytes(run_->ErrorLog())));
  } catch (const std::exception& e) {
    w->setPlainText(QString::fromUtf8(e.what()));
  }
  w->resize(640, 360);
  w->show();
}

// ---- events ----

bool TLorvekMain::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    // The long part of a hint covers panel 0 while the pointer is on its
    // control; leaving it brings the panel's own text back.
    QString tip = static_cast<QStatusTipEvent*>(e)->tip();
    panels_[0]->setText(tip.isEmpty() ? panel0_text_ : tip);
    return true;
  }
  return QMainWindow::event(e);
}

bool TLorvekMain::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::FocusOut) {
    if (o == find_word_ && !find_word_->currentText().isEmpty()) {
      AddWordHistory(ToSjis(find_word_->currentText()));
    } else if (o == find_path_ && !find_path_->currentText().isEmpty()) {
      find_path_->setToolTip(find_path_->currentText());
      AddFolderHistory(ToPath(find_path_->currentText()));
    } else if (o == file_masks_) {
      // Leaving the mask box replaces only the select list.
    }
  }
  if (o == find_path_ && (e->type() == QEvent::DragEnter || e->type() == QEvent::Drop)) {
    auto* d = static_cast<QDropEvent*>(e);
    if (!d->mimeData()->hasUrls()) return false;
    if (e->type() == QEvent::DragEnter) {
      static_cast<QDragEnterEvent*>(e)->acceptProposedAction();
      return true;
    }
    QString first = d->mimeData()->urls().value(0).toLocalFile();
    if (!first.isEmpty()) find_path_->setEditText(FromPath(LongPathName(ToPath(first))));
    activateWindow();
    d->acceptProposedAction();
    return true;
  }
  return QMainWindow::eventFilter(o, e);
}

}  // namespace lorvek
