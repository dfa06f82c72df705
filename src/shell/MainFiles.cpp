#include "shell/MainFiles.h"

#include <string>
#include <string_view>
#include <vector>

#include "common/DisplayText.h"
#include "common/FileIo.h"
#include "playlist/ForeignPlaylist.h"
#include "playlist/Playlist.h"
#include "playlist/RowProber.h"
#include "shell/TfrmAbout.h"
#include "shell/TfrmConfig.h"
#include "shell/TfrmLyric.h"
#include "shell/TfrmMain.h"
#include "shell/TfrmOptions.h"

namespace quillet {

namespace {

constexpr const char* kPlaylistFilter = "播放列表文件（*.pst）|*.pst";
// Other players' playlists, offered after the .pst entry (which stays the one preselected).
constexpr const char* kForeignLoadFilters =
    "|M3U 播放列表（*.m3u;*.m3u8）|*.m3u;*.m3u8|PLS 播放列表（*.pls）|*.pls|"
    "XSPF 播放列表（*.xspf）|*.xspf";
constexpr const char* kM3u8SaveFilter = "|M3U8 播放列表（*.m3u8）|*.m3u8";
constexpr int kM3u8SaveEntry = 1;

bool EndsWithNoCase(const std::string& s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const char c = s[s.size() - tail.size() + i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != tail[i]) return false;
  }
  return true;
}

}  // namespace

MainFiles::MainFiles(TfrmMain& main) : QObject(&main), w_(main) {
  setObjectName(QStringLiteral("MainFiles"));
}

void MainFiles::ItemSaveLstClick() {
  SDLst.directory = PathText(CurrentDirectory());
  SDLst.title = QString::fromUtf8("保存播放列表...");
  SDLst.filter = QString::fromUtf8(kPlaylistFilter) + QString::fromUtf8(kM3u8SaveFilter);
  SDLst.defaultSuffix = QStringLiteral("pst");
  SDLst.multiple = false;
  // The rows are counted before the dialog: what a tick or the tray menu adds meanwhile is not
  // part of what the user chose to save.
  const int count = w_.Player.List().Count();
  const Dialogs::FileResult chosen = w_.Dlg.saveFile(&w_, SDLst);
  if (!chosen.accepted || chosen.files.isEmpty()) return;
  std::string path = LocalBytes(chosen.files.front());
  // An M3U8 by its name, or by its entry for a name that says neither (the dialog's default
  // suffix is the .pst one, so "list.pst" chosen under the M3U8 entry stays a .pst).
  const PlaylistFormat named = PlaylistFormatOfPath(path);
  bool m3u8 = named == PlaylistFormat::kM3u8 || named == PlaylistFormat::kM3u;
  if (named == PlaylistFormat::kNone && chosen.filterIndex == kM3u8SaveEntry &&
      !EndsWithNoCase(path, ".pst")) {
    path += ".m3u8";
    m3u8 = true;
  }
  if (PathExists(path) && !AskOkCancel(w_.Dlg, &w_, "播放列表文件已经存在，要覆盖它吗?")) return;
  const std::vector<PlaylistRow>& all = w_.Player.List().Rows();
  const std::vector<PlaylistRow> rows(
      all.begin(), all.begin() + std::min<std::ptrdiff_t>(count, std::ssize(all)));
  // Written whole beside the target and then put in its place: a failure leaves the old file.
  const IoResult io = m3u8 ? SaveM3u8File(path, rows) : SavePlaylistFile(path, rows);
  if (!io.ok) ShowErrorBox(w_.Dlg, &w_, w_.Player.Shared.VersionText, io.error);
}

void MainFiles::ItemLoadLstClick() {
  ODLoadLst.title = QString::fromUtf8("载入播放列表...");
  ODLoadLst.filter = QString::fromUtf8(kPlaylistFilter) + QString::fromUtf8(kForeignLoadFilters);
  ODLoadLst.directory = PathText(CurrentDirectory());
  ODLoadLst.multiple = false;
  const Dialogs::FileResult chosen = w_.Dlg.openFiles(&w_, ODLoadLst);
  if (!chosen.accepted || chosen.files.isEmpty()) return;
  const std::string path = LocalBytes(chosen.files.front());
  std::vector<PlaylistRow> rows;
  IoResult io;
  const PlaylistFormat format = PlaylistFormatOfPath(path);
  if (format == PlaylistFormat::kPst || format == PlaylistFormat::kNone) {
    io = LoadPlaylistFile(path, &rows);
  } else {
    // The entries' files that exist are probed on every core; a missing one is never opened
    // and becomes a row of what the playlist says of it.
    std::vector<PlaylistEntry> entries;
    io = ReadForeignPlaylist(path, &entries);
    const FileRow fileRow = w_.Player.List().RowMaker();
    rows.reserve(entries.size());
    ProbeInOrder(
        entries.size(), [&](std::size_t i) { return EntryRow(entries[i], fileRow); },
        [&](std::size_t, PlaylistRow&& row) { rows.push_back(std::move(row)); });
  }
  w_.Player.List().Append(std::move(rows));
  if (!io.ok) ShowErrorBox(w_.Dlg, &w_, w_.Player.Shared.VersionText, io.error);
}

void MainFiles::btnConfigureClick() {
  if (w_.Windows.config != nullptr) w_.Windows.config->ShowModal();
}

void MainFiles::btnAboutAppClick() {
  if (w_.Windows.about != nullptr) w_.Windows.about->ShowModal();
}

void MainFiles::ItemOptionsClick() {
  if (w_.Windows.options != nullptr) w_.Windows.options->ShowModal(w_.Player.Shared.options);
}

void MainFiles::btnEditLyricClick() {
  TfrmLyric* lyric = w_.Windows.lyric;
  if (lyric == nullptr) return;
  if (lyric->isVisible()) {
    lyric->frmLyricTimer->stop();
    lyric->close();
    return;
  }
  // Sized before it shows; placed again once shown, when its frame is known, and from then on
  // by every tick of its timer.
  lyric->DockLyricEditor();
  lyric->frmLyricTimer->start();
  lyric->show();
  lyric->DockLyricEditor();
}

}  // namespace quillet
