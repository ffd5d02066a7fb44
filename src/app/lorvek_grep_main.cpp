// lorvek-grep: the search run from the command line. Prints one tag line per
// hit to standard output in UTF-8; status texts and errors go to standard error.
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/file_list_printer.h"
#include "app/grep_printer.h"
#include "app/json_printer.h"
#include "app/unified_diff.h"
#include "settings/ini_file.h"
#include "settings/mask_sets.h"
#include "settings/options.h"
#include "settings/settings_schema.h"
#include "results/export_formats.h"
#include "results/export_sink.h"
#include "replace/replace_journal.h"
#include "replace/replace_run.h"
#include "settings/program_folder.h"
#include "search/exit_cleanup.h"
#include "search/search_run.h"
#include "search/search_terms.h"
#include "search/work_folder.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/file_bytes.h"

namespace lorvek {
namespace {

const char kUsage[] =
    "Usage: lorvek-grep [options] [--] WORD PATH...\n"
    "Searches the files under each PATH for WORD (terms joined by '&') and prints\n"
    "one line per hit: \"path\" line: text\n"
    "\n"
    "  -m, --masks TEXT      file masks, e.g. \"*.txt;*.htm\" (default * : every\n"
    "                        file; with --ini the settings file's mask text)\n"
    "  -r, --subfolders      search subfolders (default)\n"
    "      --no-subfolders   search only the named folder\n"
    "  -x, --exclude         the masks exclude files instead of selecting them\n"
    "      --code-mode N     0: read every file as Shift-JIS, 1: detect the\n"
    "                        encoding (default), 3: only ASCII and Shift-JIS files\n"
    "      --fuzzy           fuzzy character matching (default)\n"
    "      --no-fuzzy        exact character codes\n"
    "  -w, --word            whole words only (default)\n"
    "      --no-word         match anywhere\n"
    "  -1, --first-hit       only the first hit of each file (of each workbook)\n"
    "      --doc             read .doc and .rtf files as Word/RTF documents\n"
    "      --no-doc          read them as they are (default)\n"
    "      --xls             search the cells of .xls workbooks (default)\n"
    "      --no-xls          read .xls files as they are\n"
    "      --xls-numbers     search numeric cells too (default: text cells only)\n"
    "      --office          search .docx/.xlsx/.pptx and .odt/.ods/.odp files (default)\n"
    "      --no-office       read them as they are\n"
    "      --pdf             search the text of .pdf files (default)\n"
    "      --no-pdf          read them as they are\n"
    "      --html-tags       search .htm and .html files without their tags\n"
    "      --no-html-tags    search them with their tags (default)\n"
    "  -z, --archives        search inside archives (.zip, .lzh, .tar.gz, ...):\n"
    "                        the members the masks select; a member's hit\n"
    "                        prints as \"archive/member\"\n"
    "      --no-archives     read archives as they are (default)\n"
    "      --filter PROGRAM  read the files --filter-masks selects through\n"
    "                        PROGRAM, which writes a file's text to standard\n"
    "                        output (e.g. pdftotext with --filter-switches)\n"
    "      --filter-masks TEXT    masks of filtered files, e.g. \"*.PDF,*.PPT\"\n"
    "      --filter-switches TEXT switches put after PROGRAM (passed to the\n"
    "                        shell as written; the paths are quoted)\n"
    "      --member-limit MIB    the most one archive member may fill when\n"
    "                        extracted (default 1024)\n"
    "      --archive-limit MIB   the most all members of one archive may (4096)\n"
    "      --filter-limit MIB    the most a filter may print (1024)\n"
    "      --filter-timeout SECONDS  a filter that prints nothing more for so\n"
    "                        long is stopped and logged (default 120; 0: never)\n"
    "      --context N       print N lines (0 to 2) before and after each hit\n"
    "      --column          print the byte column of the hit after the line number\n"
    "  -o, --only-matching   print the matched text instead of the line\n"
    "      --show-encoding   print the file's encoding tag after the path\n"
    "      --json            print one JSON object a line: begin, match (with\n"
    "                        submatches as byte offsets into the UTF-8 line)\n"
    "                        and end for every file with hits, then a summary\n"
    "  -l, --files-with-matches  print only the names of files with hits\n"
    "  -L, --files-without-match print only the names of files without hits\n"
    "  -c, --count           print each file's number of hit lines: \"path\":N\n"
    "  -q, --quiet           print nothing; stop at the first hit (exit status 0)\n"
    "      --color[=WHEN]    colour paths, line numbers and matches: auto (on a\n"
    "                        terminal, unless NO_COLOR is set; the default),\n"
    "                        always or never (also --colour)\n"
    "                        (an archive member counts as a file of its own)\n"
    "      --tag-file FILE   also write the hits as a tag file (Shift-JIS)\n"
    "      --csv FILE        also write the hits as CSV (separator and quoting\n"
    "                        from the settings; --csv-tab, --csv-quote N)\n"
    "      --html FILE       also write the hits as an HTML report\n"
    "      --replace TEXT    then replace every hit's match by TEXT (\\t is a tab),\n"
    "                        without questions; each file's old content is kept\n"
    "                        as NAME.bak (.bak(1), ...); the report goes to\n"
    "                        standard error. Exit status 0 when something was\n"
    "                        replaced, 1 when nothing was, 2 on an error.\n"
    "                        Backups of earlier runs (NAME.bak, NAME.bak(N)\n"
    "                        beside a file of the stem NAME) are named and left\n"
    "                        alone\n"
    "      --replace-backups with --replace: replace in such backups too\n"
    "      --dry-run         with --replace: write nothing, print each line that\n"
    "                        would change as \"path\" N- old and \"path\" N+ new\n"
    "      --undo-replace    undo the last replace run: every file that still\n"
    "                        holds what it wrote comes back from its backup\n"
    "                        (and the backup goes); files changed since are\n"
    "                        listed and left alone. Exit status 0 when all came\n"
    "                        back, 1 when there was nothing to undo, 2 otherwise\n"
    "      --diff            with --replace: write nothing, print the changes as a\n"
    "                        unified diff (paths as given; a UTF-8 file's diff\n"
    "                        applies with patch -p0)\n"
    "      --ini FILE        take the [Options] switches and the mask text of a\n"
    "                        Lorvek.ini FILE as defaults (the file is only read)\n"
    "      --help            show this help\n"
    "      --version         show the version\n"
    "\n"
    "Exit status: 0 when there were hits, 1 when none, 2 on an error.\n";

class CliFrontEnd : public NullFrontEnd {
 public:
  explicit CliFrontEnd(TagLinePrinter& printer) : printer_(printer) {}
  void ProcessPendingEvents() override { printer_.FlushIfDue(); }
  void SetStatusText(int panel, const std::string& text) override {
    if (panel >= 0 && panel < 5) panels[panel] = text;
  }
  void ShowError(const std::string& message) override {
    std::cerr << "lorvek-grep: " << message << "\n";
    failed = true;
  }
  void ShowWarning(const std::string& message) override {
    std::cerr << "lorvek-grep: " << message << "\n";
    failed = true;
  }
  void ShowReport(const std::vector<std::string>& lines) override {
    for (const std::string& line : lines) std::cerr << "lorvek-grep: " << line << "\n";
  }
  std::string panels[5];
  bool failed = false;

 private:
  TagLinePrinter& printer_;
};

enum class ListMode { None, WithMatches, WithoutMatches, Count, Quiet };
enum class ColorWhen { Auto, Always, Never };

struct CliOptions {
  std::string masks = "*";  // every file, with an extension or without
  TagLineFormat format;
  std::string word;
  std::vector<std::string> paths;
  std::string tag_file, csv_file, html_file;
  std::optional<std::string> replacement;
  bool dry_run = false;
  bool diff = false;
  bool replace_backups = false;
  CsvFormat csv;
  std::string filter_ext;  // FilterExt
  std::string arc_files;   // ArcFiles
  ListMode list = ListMode::None;
  bool json = false;
  ColorWhen color = ColorWhen::Auto;
  SearchOptions search;   // the run's switches
  std::string mask_text;  // masks in code page 932
};

// lorvek-grep's side of a replace: no questions (as after すべて), the report
// on standard error.
int Replace(SearchRun& run, ResultStore& store, const SearchOptions& opts, const std::string& replacement, bool dry_run,
            bool diff, bool replace_backups) {
  if (!run.Compiled()) return 2;
  UnattendedReplace front;
  ReplaceSettings settings;
  settings.whole_word = opts.whole_word;
  settings.code_cng_mode = opts.code_cng_mode;
  settings.html_tag = opts.html_tag;
  settings.replace_backups = replace_backups;
  ReplaceRun replace(store, *run.Compiled(), settings, front);
  ReplaceJournal journal(ReplaceJournalPath(ProgramFolder()));
  if (!dry_run && !diff) replace.SetJournal(&journal);
  const ReplaceResult r = replace.Run(replacement, false, {}, dry_run || diff);
  if (diff) {
    for (const auto& f : r.file_changes) std::cout << UnifiedDiff(f.path, f.old_bytes, f.new_bytes, f.encoding);
  } else {
    for (const auto& c : r.changes) {
      const std::string head = "\"" + EscapedPathText(c.path) + "\" " + std::to_string(c.line_no);
      std::cout << head << "- " << Cp932ToUtf8(c.old_text) << "\n" << head << "+ " << Cp932ToUtf8(c.new_text) << "\n";
    }
  }
  std::cout.flush();
  std::string report = r.summary;
  for (char& ch : report)
    if (ch == '\r') ch = '\n';
  std::cerr << report << "\n";
  // Skipped archives and documents are no error; a file that could not be written back is.
  if (r.failed > 0) return 2;
  if (dry_run || diff) return r.changes.empty() ? 1 : 0;
  return r.replaced > 0 ? 0 : 1;
}

// Undoes the last replace run: 0 when every file came back, 1 when there
// was nothing to undo, 2 when some were left as they are.
int UndoReplace() {
  const UndoResult r = UndoLastReplace(ReplaceJournalPath(ProgramFolder()));
  std::cerr << r.report << "\n";
  if (r.refused) return 2;
  if (r.nothing) return 1;
  return r.left.empty() && r.failed.empty() ? 0 : 2;
}

[[noreturn]] void UsageError(const std::string& message) {
  std::cerr << "lorvek-grep: " << message << "\nTry 'lorvek-grep --help'.\n";
  std::exit(2);
}

ColorWhen ParseColorWhen(const std::string& when) {
  if (when == "auto" || when == "tty" || when == "if-tty") return ColorWhen::Auto;
  if (when == "always" || when == "yes" || when == "force") return ColorWhen::Always;
  if (when == "never" || when == "no" || when == "none") return ColorWhen::Never;
  UsageError("--color takes auto, always or never: " + when);
}

bool UseColor(ColorWhen when) {
  if (when == ColorWhen::Always) return true;
  if (when == ColorWhen::Never) return false;
  const char* no_color = std::getenv("NO_COLOR");
  return isatty(STDOUT_FILENO) == 1 && !(no_color && *no_color);
}

int ParseInt(const std::string& text, const char* option) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') UsageError(std::string("invalid number for ") + option + ": " + text);
  return static_cast<int>(v);
}

int ParseLimit(const std::string& text, const char* option) {
  const int mib = ParseInt(text, option);
  if (mib < 1) UsageError(std::string(option) + " takes a number of MiB from 1");
  return mib;
}

int ParseSeconds(const std::string& text, const char* option) {
  const int seconds = ParseInt(text, option);
  if (seconds < 0) UsageError(std::string(option) + " takes a number of seconds from 0 (0: no limit)");
  return seconds;
}

bool AsksForUndo(int argc, char** argv) {
  for (int i = 1; i < argc && std::string(argv[i]) != "--"; ++i)
    if (std::string(argv[i]) == "--undo-replace") return true;
  return false;
}

// The defaults are the ones --help shows; --ini FILE takes the switches of
// a settings file and its mask text (never its histories); -m still wins.
void TakeIniDefaults(int argc, char** argv, CliOptions& cli) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--") break;
    if (std::string(argv[i]) != "--ini") continue;
    TIniGT ini(argv[i + 1], /*make_writable=*/false);
    try {
      ReadFileBytes(ini.FileName());
    } catch (const std::system_error& e) {
      UsageError(std::string("--ini ") + argv[i + 1] + ": " + std::strerror(e.code().value()));
    }
    const Options saved = ReadOptions(ini);
    cli.search = saved.search;
    cli.csv = {saved.csv_terms, saved.csv_quates};
    cli.filter_ext = saved.filter_ext;
    cli.arc_files = saved.arc_files;
    cli.masks = ReadMaskSets(ini).default_text;
    cli.format.context = cli.search.wide_preview ? std::min(2, std::max(0, saved.prev_line)) : 0;
  }
}

// The switches into cli, the rest into positional; the exit status when
// the command line asks for help or the version instead of a search.
std::optional<int> ParseSwitches(int argc, char** argv, CliOptions& cli, std::vector<std::string>& positional) {
  SearchOptions& opts = cli.search;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* name) {
      if (i + 1 >= argc) UsageError(std::string(name) + " needs a value");
      return std::string(argv[++i]);
    };
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      positional.push_back(a);
      continue;
    }
    if (a == "--") options_done = true;
    else if (a == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (a == "--version") {
      std::cout << "lorvek-grep " << LORVEK_VERSION << "\n";
      return 0;
    } else if (a == "-m" || a == "--masks") cli.masks = value("--masks");
    else if (a.rfind("--masks=", 0) == 0) cli.masks = a.substr(8);
    else if (a == "-r" || a == "--subfolders") opts.find_sub = true;
    else if (a == "--no-subfolders") opts.find_sub = false;
    else if (a == "-x" || a == "--exclude") opts.find_mode = 1;
    else if (a == "--code-mode") opts.code_cng_mode = ParseInt(value("--code-mode"), "--code-mode");
    else if (a == "--fuzzy") opts.fuzzy_char = true;
    else if (a == "--no-fuzzy") opts.fuzzy_char = false;
    else if (a == "-w" || a == "--word") opts.whole_word = true;
    else if (a == "--no-word") opts.whole_word = false;
    else if (a == "-1" || a == "--first-hit") opts.find_onece = true;
    else if (a == "--doc") opts.auto_doc_detect = true;
    else if (a == "--no-doc") opts.auto_doc_detect = false;
    else if (a == "--xls") opts.xls_grep = true;
    else if (a == "--no-xls") opts.xls_grep = false;
    else if (a == "--xls-numbers") opts.xls_also_num = true;
    else if (a == "--office") opts.office_xml_grep = true;
    else if (a == "--no-office") opts.office_xml_grep = false;
    else if (a == "--pdf") opts.pdf_grep = true;
    else if (a == "--no-pdf") opts.pdf_grep = false;
    else if (a == "-z" || a == "--archives") opts.find_also_archive = true;
    else if (a == "--no-archives") opts.find_also_archive = false;
    else if (a == "--filter") {
      opts.filter_name = value("--filter");
      opts.use_filter = true;
    } else if (a == "--filter-masks") cli.filter_ext = value("--filter-masks");
    else if (a == "--filter-switches") opts.filter_sw = value("--filter-switches");
    else if (a == "--member-limit") opts.arc_member_limit = ParseLimit(value("--member-limit"), "--member-limit");
    else if (a == "--archive-limit") opts.arc_total_limit = ParseLimit(value("--archive-limit"), "--archive-limit");
    else if (a == "--filter-limit") opts.filter_out_limit = ParseLimit(value("--filter-limit"), "--filter-limit");
    else if (a == "--filter-timeout") opts.filter_timeout = ParseSeconds(value("--filter-timeout"), "--filter-timeout");
    else if (a == "--html-tags") opts.html_tag = true;
    else if (a == "--no-html-tags") opts.html_tag = false;
    else if (a == "--context") {
      cli.format.context = ParseInt(value("--context"), "--context");
      if (cli.format.context < 0 || cli.format.context > 2) UsageError("--context takes 0, 1 or 2");
    } else if (a == "--column") cli.format.column = true;
    else if (a == "-o" || a == "--only-matching") cli.format.only_matching = true;
    else if (a == "--show-encoding") cli.format.show_encoding = true;
    else if (a == "--json") cli.json = true;
    else if (a == "-l" || a == "--files-with-matches") cli.list = ListMode::WithMatches;
    else if (a == "-L" || a == "--files-without-match") cli.list = ListMode::WithoutMatches;
    else if (a == "-c" || a == "--count") cli.list = ListMode::Count;
    else if (a == "-q" || a == "--quiet" || a == "--silent") cli.list = ListMode::Quiet;
    else if (a == "--color" || a == "--colour") cli.color = ColorWhen::Auto;
    else if (a.rfind("--color=", 0) == 0) cli.color = ParseColorWhen(a.substr(8));
    else if (a.rfind("--colour=", 0) == 0) cli.color = ParseColorWhen(a.substr(9));
    else if (a == "--ini") value("--ini");
    else if (a == "--tag-file") cli.tag_file = value("--tag-file");
    else if (a == "--csv") cli.csv_file = value("--csv");
    else if (a == "--html") cli.html_file = value("--html");
    else if (a == "--replace") cli.replacement = value("--replace");
    else if (a == "--dry-run") cli.dry_run = true;
    else if (a == "--replace-backups") cli.replace_backups = true;
    else if (a == "--diff") cli.diff = true;
    else if (a == "--csv-tab") cli.csv.terms = 1;
    else if (a == "--csv-quote") cli.csv.quates = ParseInt(value("--csv-quote"), "--csv-quote");
    else UsageError("unknown option " + a);
  }
  return std::nullopt;
}

// The whole command line into cli; the exit status when it asks for no
// search, or for one that cannot be made.
std::optional<int> ParseCommandLine(int argc, char** argv, CliOptions& cli) {
  TakeIniDefaults(argc, argv, cli);
  std::vector<std::string> positional;
  if (const std::optional<int> status = ParseSwitches(argc, argv, cli, positional)) return status;
  if (positional.size() < 2) UsageError("a word and at least one path are needed");
  if (cli.diff && !cli.replacement) UsageError("--diff shows what --replace would change: it needs --replace");
  // A replace prints its changes and its report: neither fits an answer by
  // file or the JSON stream, and a quiet replace would change files unseen.
  if (cli.replacement && (cli.list != ListMode::None || cli.json))
    UsageError("--replace cannot be used with -l, -L, -c, -q or --json");
  cli.search.wide_preview = cli.format.context > 0;
  // A character code page 932 cannot hold must not become '?', an operator.
  const bool word_ok = ExternalToCp932Exact(positional[0], &cli.word);
  const bool masks_ok = ExternalToCp932Exact(cli.masks, &cli.mask_text);
  if (!word_ok || !masks_ok) {
    std::cerr << "lorvek-grep: " << UnmappableTextMessage(word_ok ? cli.masks : positional[0]) << "\n";
    return 2;
  }
  if (ParseMaskText(cli.mask_text).empty()) {
    std::cerr << "lorvek-grep: ファイルマスクを指定してください.\n";
    return 2;
  }
  cli.paths.assign(positional.begin() + 1, positional.end());
  // Tag lines, or answers by file; the tag-line printer also copies the
  // log to standard error.
  cli.format.records = cli.list == ListMode::None && !cli.json && !cli.diff;
  cli.format.color = !cli.json && UseColor(cli.color);
  return std::nullopt;
}

// Filters and archive members go through a scratch folder of this process
// alone, removed at the end, and also when the run is told to end.
struct ScratchFolder {
  WorkFolder folder = WorkFolder::ForThisProcess();
  ScratchFolder() { CleanUpOnTermination(folder.Folder()); }
  ~ScratchFolder() {
    if (folder.Exists()) folder.Remove();
  }
};

// The first term as a pattern, for colouring and JSON's submatches; empty
// when it does not compile (the run reports that).
PatternRef FirstTermPattern(const CliOptions& cli) {
  try {
    const std::vector<std::string> terms = SplitSearchTerms(cli.word);
    if (terms.empty()) return {};
    return CompileStringPattern(terms.front(), cli.search.fuzzy_char);
  } catch (const std::exception&) {
    return {};
  }
}

// Exports are written as the hits come: no record is kept.
std::vector<std::unique_ptr<ExportSink>> MakeExports(const CliOptions& cli) {
  std::vector<std::unique_ptr<ExportSink>> exports;
  if (!cli.tag_file.empty()) exports.push_back(std::make_unique<ExportSink>(ExportSink::Kind::TagList, cli.tag_file));
  if (!cli.csv_file.empty()) exports.push_back(std::make_unique<ExportSink>(ExportSink::Kind::Csv, cli.csv_file, cli.csv));
  if (!cli.html_file.empty()) {
    PatternRef highlight;
    try {
      highlight = CompileStringPattern(cli.word, cli.search.fuzzy_char);
    } catch (const ERegExpParser&) {
    }
    exports.push_back(std::make_unique<ExportSink>(ExportSink::Kind::Html, cli.html_file, cli.csv,
                                                   HtmlReport{cli.word, FormatLocalTime(std::time(nullptr))}, highlight));
  }
  return exports;
}

FileListPrinter::Mode ListPrinterMode(ListMode list) {
  switch (list) {
    case ListMode::WithMatches: return FileListPrinter::Mode::WithMatches;
    case ListMode::WithoutMatches: return FileListPrinter::Mode::WithoutMatches;
    case ListMode::Count: return FileListPrinter::Mode::Count;
    default: return FileListPrinter::Mode::Quiet;
  }
}

// Where the hits go: tag lines (or answers by file, or JSON) on standard
// output, the export files, and the rows a replace works through.
struct Outputs {
  Outputs(const CliOptions& cli, const PatternRef& first_term)
      // When the reader has all it wanted, the run ends quietly at once,
      // not after the file in hand.
      : printer(STDOUT_FILENO, cli.format, [] { CleanUpAndExit(0); }) {
    if (cli.list != ListMode::None) by_file.emplace(STDOUT_FILENO, ListPrinterMode(cli.list));
    exports = MakeExports(cli);
    if (cli.json && !by_file) json.emplace(STDOUT_FILENO, first_term);
    std::vector<RecordSink*> sinks{&printer};
    if (by_file) sinks.push_back(&*by_file);
    if (json) sinks.push_back(&*json);
    for (auto& e : exports) sinks.push_back(e.get());
    if (cli.replacement) sinks.push_back(&store);
    all.emplace(std::move(sinks));
  }
  bool ReaderGone() const {
    return printer.OutputClosed() || (by_file && by_file->OutputClosed()) || (json && json->OutputClosed());
  }

  TagLinePrinter printer;
  std::optional<FileListPrinter> by_file;
  std::vector<std::unique_ptr<ExportSink>> exports;
  std::optional<JsonPrinter> json;
  ResultStore store;
  std::optional<FanOutSink> all;
};

void ConfigureRun(SearchRun& run, const CliOptions& cli, const WorkFolder& scratch) {
  run.options() = cli.search;
  run.SetWorkFolder(scratch);
  run.WildMatch2().SetMasks(ArchiveMasksFrom(cli.arc_files));
  run.WildMatch3().SetMasks(SplitCommaText(ExternalToCp932(cli.filter_ext)));
}

// Flushes standard output and closes the export files; the exit status
// when the program ends here: the reader has all it wanted, -q has its
// answer, or the hits could not be written.
std::optional<int> FinishOutputs(Outputs& out, const CliOptions& cli, CliFrontEnd& front, SearchRun& run) {
  out.printer.Flush();
  if (out.ReaderGone()) return 0;
  if (cli.list == ListMode::Quiet) return out.by_file->AnyHit() ? 0 : (front.failed || run.ErrorCount() > 0 ? 2 : 1);
  if (out.printer.WriteError()) {
    std::cerr << "lorvek-grep: " << std::strerror(out.printer.WriteError()) << "\n";
    return 2;
  }
  for (auto& e : out.exports) {
    try {
      e->Finish();
    } catch (const EExportError& error) {
      front.ShowError(error.what());
    }
  }
  return std::nullopt;
}

// The search itself; false when there is no word to search for.
bool Search(SearchRun& run, const CliOptions& cli, CliFrontEnd& front, const WorkFolder& scratch) {
  ConfigureRun(run, cli, scratch);
  if (cli.word.empty()) {
    front.ShowWarning("検索フォルダまたはキーワードを設定して下さい.");
    return false;
  }
  run.SetWord(cli.word);
  run.WildMatch1().SetMasks(ParseMaskText(cli.mask_text));
  run.RunSearch(cli.paths);
  return true;
}

int ReplaceHits(SearchRun& run, ResultStore& store, const CliOptions& cli, const CliFrontEnd& front) {
  std::string replacement;
  if (!ExternalToCp932Exact(*cli.replacement, &replacement)) {
    std::cerr << "lorvek-grep: " << UnmappableTextMessage(*cli.replacement) << "\n";
    return 2;
  }
  const int status = Replace(run, store, cli.search, replacement, cli.dry_run, cli.diff, cli.replace_backups);
  if (!front.panels[0].empty()) std::cerr << front.panels[0] << " " << front.panels[3] << "\n";
  return status;
}

// 0 with hits, 1 without, 2 after an error; the closing status only after a
// run that ran to its end.
int SearchStatus(SearchRun& run, const CliFrontEnd& front, const Outputs& out) {
  if (!front.failed && !front.panels[0].empty()) std::cerr << front.panels[0] << " " << front.panels[3] << "\n";
  if (run.ErrorCount() > 0 && run.LogWritten())
    std::cerr << "lorvek-grep: the errors are also in " << PathForDisplay(run.ErrorLog()) << "\n";
  if (front.failed || run.ErrorCount() > 0 || out.printer.LoggedFailures() > 0) return 2;
  return run.MatchCount() == 0 ? 1 : 0;
}

int Main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // A file-size limit (ulimit -f) makes a write fail, which is reported,
  // instead of ending the run half-way with a backup left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  if (AsksForUndo(argc, argv)) return UndoReplace();
  CliOptions cli;
  if (const std::optional<int> status = ParseCommandLine(argc, argv, cli)) return *status;
  if (cli.word.empty()) {
    // As the window says it for an empty word box.
    std::cerr << "lorvek-grep: 検索フォルダまたはキーワードを設定して下さい.\n";
    return 2;
  }
  // A closed pipe is noticed as a failed write, not as a signal.
  std::signal(SIGPIPE, SIG_IGN);
  ScratchFolder scratch;
  const PatternRef first_term = FirstTermPattern(cli);
  if (cli.format.color) cli.format.highlight = first_term;
  Outputs out(cli, first_term);
  CliFrontEnd front(out.printer);
  SearchRun run(front, *out.all, ProgramFolder());
  if (!Search(run, cli, front, scratch.folder)) return 2;
  if (const std::optional<int> status = FinishOutputs(out, cli, front, run)) return *status;
  if (cli.replacement && !front.failed) return ReplaceHits(run, out.store, cli, front);
  return SearchStatus(run, front, out);
}

}  // namespace
}  // namespace lorvek

int main(int argc, char** argv) {
  const int status = lorvek::Main(argc, argv);
  lorvek::WaitIfEnding();
  return status;
}
