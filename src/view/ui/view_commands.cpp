// TView: finding, the tag list, replacing, the writing aids, bookmarks,
// canned texts, the command entry and keyboard macros.
#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLocale>
#include <QMenu>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTime>
#include <QTreeView>

#include "settings/ini_file.h"
#include "settings/settings_schema.h"
#include "ui/common/desktop_open.h"
#include "ui/common/qt_text.h"
#include "sources/filter_source.h"
#include "replace/ui/replace_dialogs.h"
#include "text/file_bytes.h"
#include "text/sjis.h"
#include "view/ui/environment_dialogs.h"
#include "view/ui/find_dialog.h"
#include "view/ui/printing.h"
#include "view/ui/tag_list_model.h"
#include "view/ui/text_editor.h"
#include "view/ui/view_window.h"
#include "view/view_document.h"

namespace lorvek {
namespace {

// The keyboard macro recorder's name, as its cancel message gives it.
const QString kMacroRecorderName = "KeyMacro";

std::string JoinLf(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
  return out;
}

}  // namespace

// ---- finding ----

void TView::Find() {
  const bool selected = editor_->hasSelectedText();
  const std::string word = selected ? editor_->SelectedSjis() : editor_->WordAtCaret();
  TFindDlg d(*ini_, TFindDlg::Mode::Find, FromSjis(word), selected, this);
  if (RunDialog(d) != QDialog::Accepted) return;
  try {
    editor_->SetFind(ToSjis(d.Word()), d.Options());
  } catch (const std::exception& e) {
    SetStatus(0, QString::fromUtf8(e.what()));
    return;
  }
  if (d.FromTop()) editor_->SetCaret({0, 0});
  FindNextCommand(d.Chosen() != TFindDlg::Result::Up);
}

void TView::FindNextCommand(bool forward) {
  if (editor_->FindWord().empty()) return Find();
  const bool found = forward ? editor_->FindNext() : editor_->FindPrevious();
  if (!found) {
    SetStatus(0, "[" + FromSjis(editor_->FindWord()) + U("] は見つかりません."));
    return;
  }
  editor_->RefreshHighlight();
  UpdateCaretPanels();
  SelectTagOfCaretLine();
}

void TView::FindAllCommand() {
  const bool selected = editor_->hasSelectedText();
  const std::string word = selected ? editor_->SelectedSjis() : editor_->WordAtCaret();
  TFindDlg d(*ini_, TFindDlg::Mode::FindAll, FromSjis(word), selected, this);
  if (RunDialog(d) != QDialog::Accepted) return;
  const std::string sjis = ToSjis(d.Word());
  try {
    editor_->SetFind(sjis, d.Options());
  } catch (const std::exception& e) {
    SetStatus(0, QString::fromUtf8(e.what()));
    return;
  }
  size_t first = 0, last = SIZE_MAX;
  if (d.InSelection()) {
    const auto [a, b] = editor_->SelectionRange();
    first = a.line;
    last = b.line;
  }
  FindAllResult result = FindAll(editor_->Lines(), TextFinder(sjis, d.Options()), first, last);
  SetTags(std::move(result.entries));
  editor_->SetHighlight(true);
  actions_["ViewFound"]->setChecked(true);
  tags_->show();
  actions_["ViewTag"]->setChecked(true);
  if (result.count > 0)
    SetStatus(0, QString::number(result.count) + U(" 個見つかりました."));
  else
    SetStatus(0, d.Word() + U(" は見つかりませんでした."));
}

void TView::JumpToTag(int row) {
  const std::vector<TagEntry>& entries = tag_model_->Entries();
  if (row < 0 || row >= static_cast<int>(entries.size())) return;
  const size_t line = static_cast<size_t>(entries[static_cast<size_t>(row)].line_no - 1);
  if (line >= static_cast<size_t>(editor_->LineCount())) return;
  editor_->SetCaret({line, 0});
  // The occurrence in that line is selected when there is one.
  if (!editor_->FindWord().empty()) {
    try {
      const TextFinder finder(editor_->FindWord(), editor_->FindOptions());
      const TextMatch m = finder.FindIn(editor_->LineText(static_cast<int>(line)), 0);
      if (m.found) editor_->Select({line, m.at.col}, m.length);
    } catch (const std::exception&) {
    }
  }
  SetCurrentTag(row, false);
  UpdateCaretPanels();
}

void TView::MoveTag(int step) {
  const int count = tag_model_->rowCount();
  if (count == 0) return;
  const int now = CurrentTagRow();
  const int next = now + step;
  if (next < 0 || next >= count) return;  // no wrap at the ends
  SetCurrentTag(next, tags_->isVisible());
  if (tags_->isVisible()) JumpToTag(next);
}

void TView::SelectTagOfCaretLine() {
  const int line = static_cast<int>(editor_->Caret().line) + 1;
  const std::vector<TagEntry>& entries = tag_model_->Entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].line_no == line) {
      SetCurrentTag(static_cast<int>(i), true);
      return;
    }
  }
}

// ---- replacing ----

void TView::Replace() {
  if (!editable_) return;
  const bool selected = editor_->hasSelectedText();
  const std::string word = selected ? editor_->SelectedSjis() : editor_->WordAtCaret();
  TReplDlg d(*ini_, FromSjis(word), selected, this);
  if (RunDialog(d) != QDialog::Accepted) return;
  const ReplaceConditions c = d.Conditions();
  const std::string find = ToSjis(c.find), replacement = ToSjis(c.replace);
  const int options = (c.whole_word ? kWholeWord : 0) | (c.regexp ? kRegExp : 0) | (c.fuzzy ? kFuzzy : 0) |
                      (c.match_case ? kMatchCase : 0);
  try {
    editor_->SetFind(find, options);
  } catch (const std::exception& e) {
    SetStatus(0, QString::fromUtf8(e.what()));
    return;
  }
  const bool in_selection = c.start == ReplaceConditions::InSelection;
  const bool backward = c.backward && !in_selection && c.start != ReplaceConditions::FromTop;
  const QString not_found = "[" + c.find + U("] は見つかりませんでした.");
  if (c.replace_all && !c.query && c.start == ReplaceConditions::FromTop) {
    editor_->SetCaret({0, 0});
    const int n = editor_->ReplaceAllMatches(replacement);
    SetStatus(0, n > 0 ? QString::number(n) + U("個を置換しました.") : not_found);
    editor_->RefreshHighlight();
    return;
  }
  // The matches are those of the text as it is now, each found against its
  // whole line, chosen in the order the search meets them; the chosen ones
  // are replaced at the end as one edit (one undo step).
  std::vector<std::string> lines = editor_->Lines();
  const auto [sel_start, sel_end] = editor_->SelectionRange();
  TextPoint from{0, 0}, end{SIZE_MAX, 0};
  if (in_selection) {
    from = sel_start;
    end = sel_end;
  } else if (backward) {
    end = sel_start;  // every match before the caret
  } else if (c.start == ReplaceConditions::FromCaret) {
    from = sel_start;  // a selected match is the first one
  }
  const TextFinder& finder = *editor_->Finder();
  ChosenMatches chosen;
  size_t count = 0;
  bool any = false, stop = false;
  bool ask_each = c.query;
  const size_t last_line = std::min(end.line, lines.empty() ? 0 : lines.size() - 1);
  auto take_line = [&](size_t l) {
    std::vector<TextMatch> ms = finder.ReplaceMatches(lines[l]);
    std::erase_if(ms, [&](const TextMatch& m) {
      return (l == from.line && m.at.col < from.col) || (l == end.line && m.at.col >= end.col);
    });
    if (ms.empty()) return;
    any = true;
    std::vector<bool> yes(ms.size(), !ask_each);
    for (size_t k = 0; k < ms.size() && ask_each && !stop; ++k) {
      const size_t i = backward ? ms.size() - 1 - k : k;
      editor_->Select({l, ms[i].at.col}, ms[i].length);
      const QString question = "\"" + FromSjis(lines[l].substr(ms[i].at.col, ms[i].length)) + U("\" を\n\r\"") +
                               c.replace + U("\" に置換しますか?");
      if (!c.replace_all) {
        yes[i] = Ask(question, QMessageBox::Yes | QMessageBox::No, U("置換の確認")) == QMessageBox::Yes;
        stop = true;
        break;
      }
      const auto answer = Ask(question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::YesToAll,
                              U("置換の確認"));
      if (answer == QMessageBox::Cancel) {
        stop = true;
        break;
      }
      if (answer == QMessageBox::No) continue;
      yes[i] = true;
      if (answer == QMessageBox::YesToAll) {
        // This one and every later one in the search's direction.
        ask_each = false;
        for (size_t j = k; j < ms.size(); ++j) yes[backward ? ms.size() - 1 - j : j] = true;
      }
    }
    std::vector<TextMatch> taken;
    for (size_t i = 0; i < ms.size(); ++i)
      if (yes[i]) taken.push_back(ms[i]);
    count += taken.size();
    if (!taken.empty()) chosen.emplace_back(l, std::move(taken));
  };
  if (!lines.empty()) {
    if (backward) {
      for (size_t l = last_line + 1; l-- > 0 && !stop;) take_line(l);
      std::reverse(chosen.begin(), chosen.end());
    } else {
      for (size_t l = from.line; l <= last_line && !stop; ++l) take_line(l);
    }
  }
  const RangeReplaceResult r = ReplaceChosen(lines, chosen, replacement, end);
  if (r.count > 0) {
    editor_->ReplaceLines(r.first_line, r.last_line, lines, r.first_line, r.last_line - r.first_line + 1);
    SetStatus(0, QString::number(count) + U("個を置換しました."));
  } else if (!any) {
    SetStatus(0, not_found);
  }
  // The selection comes back over the text it held, its end moved by the
  // replacements before it.
  if (in_selection) {
    editor_->SendScintilla(QsciScintilla::SCI_SETSEL, static_cast<unsigned long>(editor_->PositionOf(from)),
                           editor_->PositionOf(r.end));
  } else if (r.count > 0) {
    // The caret after the last replacement made (going forward) or at the
    // first one (going backward), where the search would go on from.
    if (backward) {
      editor_->SetCaret({chosen.front().first, chosen.front().second.front().at.col});
    } else {
      const auto& [l, ms] = chosen.back();
      long long shift = 0, col = 0;
      for (const TextMatch& m : ms) {
        col = static_cast<long long>(m.at.col) + shift + static_cast<long long>(replacement.size());
        shift += static_cast<long long>(replacement.size()) - static_cast<long long>(m.length);
      }
      editor_->SetCaret({l, static_cast<size_t>(col)});
    }
  }
  editor_->RefreshHighlight();
}

// ---- writing aids ----

void TView::QuoteCommand(bool quote) {
  if (!editable_) return;
  const auto [a, b] = editor_->SelectionRange();
  size_t last = b.line;
  if (b.line > a.line && b.col == 0) --last;  // a selection ending at a line's start leaves that line out
  std::vector<std::string> lines;
  for (size_t l = a.line; l <= last && l < static_cast<size_t>(editor_->LineCount()); ++l)
    lines.push_back(editor_->LineText(static_cast<int>(l)));
  if (quote) QuoteLines(lines, 0, lines.size() - 1);
  else UnquoteLines(lines, 0, lines.size() - 1);
  editor_->ReplaceLines(a.line, a.line + lines.size() - 1, lines);
  const long from = editor_->PositionOf({a.line, 0});
  const long to = editor_->PositionOf({a.line + lines.size() - 1, lines.back().size()});
  editor_->SendScintilla(QsciScintilla::SCI_SETSEL, static_cast<unsigned long>(from), to);
}

void TView::IndentCommand(bool indent) {
  if (!editable_ || !editor_->hasSelectedText()) return;
  const auto [a, b] = editor_->SelectionRange();
  size_t last = b.line;
  if (b.line > a.line && b.col == 0) --last;
  std::vector<std::string> lines;
  for (size_t l = a.line; l <= last; ++l) lines.push_back(editor_->LineText(static_cast<int>(l)));
  if (indent) IndentLines(lines, 0, lines.size() - 1);
  else UnindentLines(lines, 0, lines.size() - 1);
  editor_->ReplaceLines(a.line, last, lines);
  editor_->SendScintilla(QsciScintilla::SCI_SETSEL, static_cast<unsigned long>(editor_->PositionOf({a.line, 0})),
                         editor_->PositionOf({last, lines.back().size()}));
}

void TView::InsertDateTime(bool date) {
  if (!editable_) return;
  const QLocale locale = QLocale::system();
  const QString text = date ? locale.toString(QDate::currentDate(), QLocale::ShortFormat)
                            : locale.toString(QTime::currentTime(), QLocale::LongFormat);
  editor_->InsertSjis(ToSjis(text) + "\n");
}

void TView::InsertSignature() {
  if (!editable_) return;
  try {
    const ViewDocument sign = LoadViewDocument(program_folder_ + "signature.txt");
    editor_->InsertSjis(JoinLf(sign.lines));
  } catch (const std::exception&) {
    const QString text = OneBreak(U("署名ファイルがありません.\r\n署名のテキストをアプリケーションフォルダ内に\r\n"
                                    "[signature.txt]という名前で保存して下さい."));
    if (ask) ask(U("Lorvek"), text, QMessageBox::Ok);
    else QMessageBox::information(this, U("Lorvek"), text);
  }
}

void TView::Reformat() {
  if (!editable_) return;
  bool ok = false;
  const QString value = Input(U("整形"), U("整形する桁数を指定してください."), "60", &ok);
  if (!ok) return;
  const int width = value.toInt();
  if (width < 10) {
    if (ask) ask(U("整形"), U("10桁以上で指定してください."), QMessageBox::Ok);
    else QMessageBox::warning(this, U("整形"), U("10桁以上で指定してください."));
    return;
  }
  const std::vector<std::string> lines = ReformatLines(editor_->Lines(), static_cast<size_t>(width), editor_->Properties().kinsoku);
  editor_->ReplaceLines(0, static_cast<size_t>(editor_->LineCount() - 1), lines);
  SetStatus(0, U("整形しました."));
}

void TView::InsertFileCommand() {
  if (!editable_) return;
  const QString chosen = choose_file ? choose_file(false, QString::fromStdString(DialogFolder()), QString())
                                     : QFileDialog::getOpenFileName(this, U("ファイルの挿入"),
                                                                    QString::fromStdString(DialogFolder()));
  if (chosen.isEmpty()) return;
  try {
    editor_->InsertSjis(JoinLf(LoadViewDocument(ToPath(chosen)).lines));
  } catch (const std::exception& e) {
    SetStatus(0, QString::fromUtf8(e.what()));
  }
}

void TView::RunCommand() {
  bool ok = false;
  const QString last = QString::fromStdString(ReadMember(*ini_, &ViewerSection::last_command));
  const QString line = Input(U("コマンド実行"), U("実行するコマンドを入力"), last, &ok).trimmed();
  if (!ok || line.isEmpty()) return;
  ViewerSection v;
  v.last_command = line.toStdString();
  WriteSection(*ini_, v, {&ViewerSection::last_command});
  const int blank = line.indexOf(' ');
  const QString program = blank < 0 ? line : line.left(blank);
  const QString parameters = blank < 0 ? QString() : line.mid(blank + 1).left(255);
  QString arguments;
  for (const QString& p : QProcess::splitCommand(parameters))
    arguments += " " + QString::fromStdString(ShellQuote(ToPath(p)));
  // As the desktop's "open" does: a program runs with the parameters; a
  // document, a folder or an address opens in the application the desktop
  // associates with it.
  const QFileInfo file(program);
  const bool document = program.contains("://") || (file.exists() && (file.isDir() || !file.isExecutable()));
  std::string command;
  if (document) {
    const DesktopOpenCommand open_with = AssociatedOpenCommand(ToPath(program));
    if (open_with.command.empty()) return ShowError(QString::fromStdString(open_with.error));
    command = open_with.command + arguments.toStdString();
  } else {
    if (!file.exists() && QStandardPaths::findExecutable(program).isEmpty())
      return ShowError(U("コマンドを実行できません: ") + program);
    command = ShellQuote(ToPath(program)) + arguments.toStdString();
  }
  if (started_command) return started_command(command);
  // Started on its own: Lorvek does not wait for it.
  if (!QProcess::startDetached("/bin/sh", {"-c", QString::fromStdString(command)}))
    ShowError(U("コマンドを実行できません: ") + program);
}

// ---- bookmarks and canned texts ----

void TView::SetBookmark(int n) {
  const int line = static_cast<int>(editor_->Caret().line);
  bookmarks_[static_cast<size_t>(n)] = line;
  const QString text = QString("&%1 (%2)").arg(n + 1).arg(line + 1);
  jump_actions_[static_cast<size_t>(n)]->setText(text);
  mark_actions_[static_cast<size_t>(n)]->setText(text);
}

void TView::JumpToBookmark(int n) {
  const int line = bookmarks_[static_cast<size_t>(n)];
  if (line < 0) return;
  editor_->SetCaret({static_cast<size_t>(line), 0});
  SetStatus(0, U("ｼﾞｬﾝﾌﾟ ") + QString::number(n + 1));
  UpdateCaretPanels();
}

void TView::RebuildCannedTexts() {
  canned_menu_->clear();
  canned_popup_->clear();
  for (QAction* a : canned_actions_) delete a;
  canned_actions_.clear();
  QDir sent(QString::fromStdString(program_folder_ + "Sent"));
  for (const QString& name : sent.entryList({"*.txt"}, QDir::Files, QDir::Name)) {
    const std::string path = ToPath(sent.filePath(name));
    // One action in both menus: the edit menu's and the editor's pop-up.
    auto* a = new QAction(name.left(name.size() - 4), this);
    connect(a, &QAction::triggered, this, [this, path] { InsertCannedText(path); });
    canned_menu_->addAction(a);
    canned_popup_->addAction(a);
    canned_actions_.push_back(a);
  }
  canned_menu_->menuAction()->setEnabled(!canned_actions_.empty());
  canned_popup_->menuAction()->setEnabled(!canned_actions_.empty());
}

void TView::InsertCannedText(const std::string& path) {
  if (!editable_) return;
  try {
    const ViewDocument text = LoadViewDocument(path);
    const long pos = editor_->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
    editor_->SendScintilla(QsciScintilla::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(pos));
    editor_->InsertSjis(JoinLf(text.lines));
  } catch (const std::exception& e) {
    SetStatus(0, QString::fromUtf8(e.what()));
  }
}

// ---- keyboard macros ----

bool TView::eventFilter(QObject* o, QEvent* e) {
  // A key that is one of the viewer's shortcuts is the viewer's: the editor
  // would keep some for itself (Ctrl+T swaps lines, Ctrl+Y redoes).
  if (o == editor_ && e->type() == QEvent::ShortcutOverride) {
    const QKeySequence pressed(static_cast<QKeyEvent*>(e)->keyCombination());
    for (const auto& [key, action] : actions_)
      if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed) {
        e->ignore();
        return true;
      }
  }
  // While a macro plays, what the user types is not mixed into it: Escape
  // stops the macro, anything else is dropped.
  if (playing_ && !feeding_ && (o == editor_ || o == editor_->viewport()) &&
      (e->type() == QEvent::KeyPress || e->type() == QEvent::InputMethod)) {
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) cancel_playing_ = true;
    return true;
  }
  // Escape closes the viewer (the editor would keep it for itself).
  if (o == editor_ && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape &&
      static_cast<QKeyEvent*>(e)->modifiers() == Qt::NoModifier && !playing_) {
    Exit();
    return true;
  }
  // Alt with a key no menu or command took is not typing: the editor
  // would insert the bare letter.
  if (o == editor_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if ((k->modifiers() & Qt::AltModifier) && !(k->modifiers() & Qt::ControlModifier) && !k->text().isEmpty() &&
        k->text()[0].isPrint())
      return true;
  }
  if ((o == editor_ || o == editor_->viewport()) && e->type() == QEvent::InputMethod && recording_ && !playing_) {
    // Committed input-method text is recorded as typed characters, so
    // playing the macro types it again.
    const QString text = static_cast<QInputMethodEvent*>(e)->commitString();
    for (QChar ch : text) {
      MacroEvent m;
      m.message = kCnChar;
      m.code = CharacterCode(ToSjis(QString(ch)));
      macro_.push_back(m);
    }
  }
  if (o == editor_ && e->type() == QEvent::KeyPress && recording_ && !playing_) {
    auto* k = static_cast<QKeyEvent*>(e);
    MacroEvent m;
    const Qt::KeyboardModifiers mods = k->modifiers();
    m.shift = mods & Qt::ShiftModifier ? 128 : 0;
    m.ctrl = mods & Qt::ControlModifier ? 128 : 0;
    m.alt = mods & Qt::AltModifier ? 128 : 0;
    m.key_data = static_cast<int>(mods);
    const QString text = k->text();
    if (!text.isEmpty() && text[0].isPrint() && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
      for (QChar ch : text) {
        m.message = kCnChar;
        m.code = CharacterCode(ToSjis(QString(ch)));
        macro_.push_back(m);
      }
    } else {
      m.message = kCnKeyDown;
      m.code = k->key();
      macro_.push_back(m);
    }
  }
  return QMainWindow::eventFilter(o, e);
}

int TView::CharacterCode(const std::string& sjis) {
  if (sjis.size() == 2) return static_cast<unsigned char>(sjis[0]) << 8 | static_cast<unsigned char>(sjis[1]);
  return sjis.empty() ? 0 : static_cast<unsigned char>(sjis[0]);
}

void TView::ToggleMacroRecording() {
  if (!recording_) {
    macro_.clear();
    recording_ = true;
    SetStatus(0, U("マクロ記録中..."));
  } else {
    recording_ = false;
    SetStatus(0, U("マクロ記録完了."));
  }
  UpdateEnabling();
}

void TView::PlayMacro() {
  if (macro_.empty() || recording_ || playing_) return;
  playing_ = true;
  cancel_playing_ = false;
  UpdateEnabling();
  SetStatus(0, U("マクロ実行中."));
  const std::vector<MacroEvent> events = macro_;
  for (const MacroEvent& m : events) {
    // The window stays alive meanwhile, so that Escape can stop a long macro.
    QCoreApplication::processEvents();
    if (cancel_playing_) break;
    feeding_ = true;
    Qt::KeyboardModifiers mods;
    if (m.shift) mods |= Qt::ShiftModifier;
    if (m.ctrl) mods |= Qt::ControlModifier;
    if (m.alt) mods |= Qt::AltModifier;
    if (m.message == kCnChar || m.message == kWmImeChar) {
      std::string sjis;
      if (m.code > 0xFF) AppendCode(sjis, static_cast<uint16_t>(m.code));
      else sjis.push_back(static_cast<char>(m.code));
      QKeyEvent press(QEvent::KeyPress, 0, mods, FromSjis(sjis));
      QApplication::sendEvent(editor_, &press);
    } else {
      QKeyEvent press(QEvent::KeyPress, m.code, mods);
      QApplication::sendEvent(editor_, &press);
      QKeyEvent release(QEvent::KeyRelease, m.code, mods);
      QApplication::sendEvent(editor_, &release);
    }
    feeding_ = false;
  }
  feeding_ = false;
  playing_ = false;
  UpdateEnabling();
  SetStatus(0, cancel_playing_ ? U("Cancel Execute ") + kMacroRecorderName : U("マクロ実行完了."));
}

void TView::SaveMacro() {
  if (macro_.empty()) return;
  const QString folder = QString::fromStdString(program_folder_ + "macro");
  QString chosen = choose_file ? choose_file(true, folder, "*.mcr")
                               : QFileDialog::getSaveFileName(this, U("マクロの保存"),
                                                              QDir(folder).exists() ? folder : QString::fromStdString(program_folder_),
                                                              U("マクロ (*.mcr)"));
  if (chosen.isEmpty()) return;
  if (!chosen.endsWith(".mcr")) chosen += ".mcr";
  try {
    WriteFileAtomically(ToPath(chosen), SaveMacroText(macro_));
  } catch (const std::exception& e) {
    SetStatus(0, QString::fromUtf8(e.what()));
  }
  RebuildMacroMenu();
}

void TView::LoadMacro(const std::string& path) {
  try {
    macro_ = LoadMacroText(ReadFileBytes(path));
  } catch (const std::exception& e) {
    SetStatus(0, QString::fromUtf8(e.what()));
  }
  UpdateEnabling();
}

void TView::RebuildMacroMenu() {
  macro_menu_->clear();
  QDir folder(QString::fromStdString(program_folder_ + "macro"));
  for (const QString& name : folder.entryList({"*.mcr"}, QDir::Files, QDir::Name)) {
    const std::string path = ToPath(folder.filePath(name));
    QAction* a = macro_menu_->addAction(name);
    connect(a, &QAction::triggered, this, [this, path] { LoadMacro(path); });
  }
  macro_menu_->menuAction()->setEnabled(!macro_menu_->isEmpty());
}

// ---- properties and environments ----

void TView::EditProperties() {
  std::map<std::string, std::string> keys;
  std::vector<std::pair<std::string, QString>> commands;
  for (const std::string& k : ViewerShortcutNames()) {
    keys[k] = actions_.at(k)->shortcut().toString().toStdString();
    // Shown under its menu caption, without the access key and the dots.
    QString caption = actions_.at(k)->text();
    caption.remove(QRegularExpression("\\(&.\\)|&|\\.\\.\\.$"));
    commands.emplace_back(k, caption);
  }
  const EnvRow& row = env_table_[env_row_];
  TmEditorProp d(FromSjis(row.name) + U(" のプロパティ"), editor_->Properties(), &keys, this, &commands);
  if (RunDialog(d) != QDialog::Accepted) return;
  WriteViewerShortcuts(*ini_, d.Shortcuts());
  const EditorProperties p = d.Properties();
  WriteEnvFile(row.file, row.name, row.ext, p);
  editor_->ApplyProperties(p);
  ApplyShortcuts();
}

void TView::EditEnvironments() {
  TFileEnv d(*ini_, program_folder_, this);
  RunDialog(d);
  env_table_ = ReadEnvTable(*ini_, program_folder_);
  if (file_name_ == "新規" || encoding_code_ == ecBinary) ApplyEnvironmentRow(0);
  else ApplyEnvironment(file_name_);
}

// ---- printing ----

QPrinter& TView::Printer() {
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *printer_;
}

void TView::PrintCommand() {
  for (;;) {
    TPrintDlg d(*ini_, Printer(), this);
    if (RunDialog(d) != QDialog::Accepted || d.Chosen() == TPrintDlg::Choice::Cancel) return;
    QPrinter& printer = Printer();
    const bool preview = d.Chosen() == TPrintDlg::Choice::Preview;
    // Printing on paper needs a printer; a preview or a PDF file does not.
    const bool to_file = printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    if (!preview && !to_file && QPrinterInfo::availablePrinters().isEmpty()) {
      ShowError(U("ﾃﾞﾌｫﾙﾄ ﾌﾟﾘﾝﾀが存在しません"));
      return;
    }
    if (!printer.isValid()) {
      ShowError(U("選択したﾌﾟﾘﾝﾀは有効ではありません"));
      return;
    }
    std::vector<std::string> lines = editor_->Lines();
    for (std::string& l : lines) l = ExpandPrintTabs(l, editor_->Properties().tab_width);
    QFont font = editor_->font();
    TStringsPrinter strings(printer, font, d.Settings(), ToSjis(FromPath(file_name_)), lines);
    strings.on_progress = print_progress;
    if (!strings.Prepare(preview)) {
      if (preview) continue;  // the dialog comes back after a cancelled preview
      return;
    }
    if (!preview) {
      const std::string failure = strings.Print();
      if (failure.empty()) SetStatus(0, U("印刷しました."));
      else ShowError(QString::fromStdString(failure));
      return;
    }
    TPreviewWindow window(strings, this);
    RunDialog(window);
  }
}

}  // namespace lorvek
