#include "results/ui/result_model.h"

#include <QDateTime>
#include <QFileIconProvider>
#include <QLocale>
#include <QMimeDatabase>
#include <QTimeZone>

#include "text/cp932.h"

namespace lorvek {

ResultModel::ResultModel(ResultStore& store, QObject* parent) : QAbstractTableModel(parent), store_(store) {}

void ResultModel::SetRowCount(size_t rows) {
  beginResetModel();
  rows_ = std::min(rows, store_.size());
  endResetModel();
}

void ResultModel::Refresh() {
  if (rows_ == 0) return;
  emit dataChanged(index(0, 0), index(static_cast<int>(rows_) - 1, kColumns - 1));
}

int ResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(std::min(rows_, store_.size()));
}

int ResultModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const captions[] = {"見つかったファイル", "更新日時", "行番号", "見つかった行", "C", "Path"};
  return section >= 0 && section < kColumns ? QString::fromUtf8(captions[section]) : QVariant();
}

QString ResultModel::DateText(int64_t file_time) {
  QLocale locale = QLocale::system();
  if (file_time == 0) return locale.toString(QDate(1899, 12, 30), QLocale::ShortFormat);
  qint64 ms = file_time / 10000 - 11644473600000LL;
  QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::systemTimeZone());
  if (t.time() == QTime(0, 0, 0)) return locale.toString(t.date(), QLocale::ShortFormat);
  return locale.toString(t.date(), QLocale::ShortFormat) + " " + locale.toString(t.time(), QLocale::LongFormat);
}

QIcon ResultModel::IconFor(std::string_view name) const {
  QString file = QString::fromUtf8(PathForDisplay(name));
  QString suffix = file.section('.', -1);
  auto it = icons_.find(suffix);
  if (it != icons_.end()) return *it;
  static QMimeDatabase db;
  QMimeType type = db.mimeTypeForFile(file, QMimeDatabase::MatchExtension);
  QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
  if (icon.isNull()) icon = QFileIconProvider().icon(QFileIconProvider::File);
  icons_.insert(suffix, icon);
  return icon;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
  const RecordView r = store_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case kFile: return QString::fromUtf8(PathForDisplay(r.DisplayName));
        case kDate: return DateText(r.LastWriteTime);
        case kLine: return QString::number(r.LineNo);
        case kText: return QString::fromUtf8(Cp932ToUtf8(r.LineText));
        default: return QString();
      }
    case Qt::DecorationRole:
      if (index.column() == kFile && r.IconIndex != -1) return IconFor(r.IconKey);
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == kLine) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    default:
      return {};
  }
}

}  // namespace lorvek
