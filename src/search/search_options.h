// The switches a search run reads (a snapshot taken while the controls are
// disabled), with the settings file's defaults.
#pragma once

#include <string>

namespace lorvek {

struct SearchOptions {
  bool find_sub = true;            // FindSub
  bool find_also_archive = false;  // FindAlsoArchive
  int find_mode = 0;               // FindMode: 0 select, 1 exclude
  bool fuzzy_char = true;          // FuzzyChar
  bool whole_word = true;          // WholeWord
  int code_cng_mode = 1000;        // CodeCngMode (1000: key missing)
  bool auto_doc_detect = false;    // AutoDocDetect
  bool xls_grep = true;            // XlsGrep
  bool xls_also_num = false;       // XlsAlsoNum: numeric cells are searched too
  bool xls_err_log = false;        // XlsErrLog: report spreadsheet failures at the end
  bool office_xml_grep = true;     // OfficeXmlGrep: .docx/.xlsx/.pptx and OpenDocument files
  bool pdf_grep = true;            // PdfGrep: PDF files
  bool use_filter = false;         // UseFilter
  std::string filter_name;         // FilterName: the filter program
  std::string filter_sw;           // FilterSw: its switches, as the user wrote them
  bool find_onece = false;         // FindOnece
  bool force_crlf = false;         // ForceCRLF
  bool html_tag = false;           // HTMLTag
  bool wide_preview = false;       // WidePreview
  int path_print = 0;              // PathPrint
  int same_print = 0;              // SamePrint
  // Bounds on the scratch disk, in MiB: what one archive member and one
  // whole archive may fill when extracted, and what a filter may print.
  int arc_member_limit = 1024;     // ArcMemberLimit
  int arc_total_limit = 4096;      // ArcTotalLimit
  int filter_out_limit = 1024;     // FilterOutLimit
  // Seconds a filter may go without printing before it is stopped (0: never).
  int filter_timeout = 120;        // FilterTimeout

  bool operator==(const SearchOptions&) const = default;
};

}  // namespace lorvek
