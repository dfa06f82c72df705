#include "shell/PlaylistView.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>

#include "common/DisplayText.h"
#include "shell/Look.h"

namespace quillet {

const std::array<PlaylistModel::Column, PlaylistModel::kColumns>& PlaylistModel::Columns() {
  static const std::array<Column, kColumns> kColumnSet = {{
      {"歌曲名", 175, Qt::AlignLeft | Qt::AlignVCenter},
      {"歌手名", 85, Qt::AlignLeft | Qt::AlignVCenter},
      {"所属专辑", 95, Qt::AlignLeft | Qt::AlignVCenter},
      {"歌曲长度", 60, Qt::AlignHCenter | Qt::AlignVCenter},
      {"文件路径", 142, Qt::AlignLeft | Qt::AlignVCenter},
  }};
  return kColumnSet;
}

PlaylistModel::PlaylistModel(TrackList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
  list_.Watch(this);
}

PlaylistModel::~PlaylistModel() { list_.Unwatch(this); }

int PlaylistModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.Count();
}

int PlaylistModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

const std::string& PlaylistModel::Field(const PlaylistRow& row, int column) {
  switch (column) {
    case 0:
      return row.name;
    case 1:
      return row.singer;
    case 2:
      return row.album;
    case 3:
      return row.length;
    default:
      return row.path;
  }
}

QVariant PlaylistModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= list_.Count() || index.column() >= kColumns) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole:
      return DisplayTagText(Field(list_.Row(index.row()), index.column()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Columns()[static_cast<std::size_t>(index.column())].alignment);
    default:
      return {};
  }
}

QVariant PlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
  const Column& c = Columns()[static_cast<std::size_t>(section)];
  if (role == Qt::DisplayRole) return QString::fromUtf8(c.caption);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.alignment);
  return {};
}

Qt::ItemFlags PlaylistModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

TListView::TListView(QWidget* parent) : QTreeView(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideRight);
  setSortingEnabled(false);
  setWordWrap(false);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  header()->setMinimumSectionSize(0);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  connect(header(), &QHeaderView::sectionResized, this, &TListView::KeepColumnWidth);

  // Sky-blue ground, navy text, and the selection as visible without the focus as with it.
  QPalette pal = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Base, kSkyBlue);
    pal.setColor(group, QPalette::AlternateBase, kSkyBlue);
    pal.setColor(group, QPalette::Text, kNavy);
  }
  pal.setColor(QPalette::Inactive, QPalette::Highlight,
               pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(pal);
}

void TListView::KeepColumnWidth(int column, int, int newSize) {
  if (column < 0 || column >= PlaylistModel::kColumns) return;
  const int widest = PlaylistModel::Columns()[static_cast<std::size_t>(column)].width;
  if (newSize > widest) header()->resizeSection(column, widest);
}

void TListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeView::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) emit OnClick();
}

void TListView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit OnDblClick();
}

}  // namespace quillet
