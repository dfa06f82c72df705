// The playlist: rows of five byte texts (name, singer, album, length, path) shown in a report
// view. The model keeps the bytes as they came; the view decodes only what it draws.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>
#include <array>
#include <vector>

#include "playlist/Playlist.h"

namespace quillet {

class PlaylistModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kColumns = 5;
  struct Column {
    const char* caption;  // UTF-8
    int width;            // also the widest a drag may make it
    Qt::Alignment alignment;
  };
  static const std::array<Column, kColumns>& Columns();

  explicit PlaylistModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const std::vector<PlaylistRow>& Rows() const { return rows_; }
  const PlaylistRow& Row(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
  int Count() const { return static_cast<int>(rows_.size()); }
  // The row's text of one column, as bytes.
  static const std::string& Field(const PlaylistRow& row, int column);

  void Append(PlaylistRow row);
  void Append(std::vector<PlaylistRow> rows);
  // Removes the given rows (any order, duplicates allowed); the rest keep their order.
  void RemoveRows(std::vector<int> rows);
  void Clear();

 private:
  std::vector<PlaylistRow> rows_;
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
