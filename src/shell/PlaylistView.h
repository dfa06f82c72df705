// The playlist shown in a report view: a Qt model over the player's track list, whose rows of
// five byte texts (name, singer, album, length, path) it decodes only as it draws them.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>
#include <array>
#include <vector>

#include "player/TrackList.h"

namespace quillet {

class PlaylistModel : public QAbstractTableModel, private TrackList::Watcher {
  Q_OBJECT

 public:
  static constexpr int kColumns = 5;
  struct Column {
    const char* caption;  // UTF-8
    int width;            // also the widest a drag may make it
    Qt::Alignment alignment;
  };
  static const std::array<Column, kColumns>& Columns();

  // `list` must outlive the model.
  explicit PlaylistModel(TrackList& list, QObject* parent = nullptr);
  ~PlaylistModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The row's text of one column, as bytes.
  static const std::string& Field(const PlaylistRow& row, int column);

 private:
  void BeforeInsert(int first, int last) override { beginInsertRows({}, first, last); }
  void AfterInsert() override { endInsertRows(); }
  void BeforeRemove(int first, int last) override { beginRemoveRows({}, first, last); }
  void AfterRemove() override { endRemoveRows(); }
  void BeforeReset() override { beginResetModel(); }
  void AfterReset() override { endResetModel(); }

  TrackList& list_;
};

// The report view: whole-row, several rows at once, no editing, selection shown without focus,
// columns no wider than their first width.
class TListView : public QTreeView {
  Q_OBJECT

 public:
  explicit TListView(QWidget* parent = nullptr);

  // Every click in the view, on a row or on empty space, after the view has handled it.
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 signals:
  void OnClick();
  void OnDblClick();

 private:
  void KeepColumnWidth(int column, int oldSize, int newSize);
};

}  // namespace quillet
