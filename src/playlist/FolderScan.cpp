#include "playlist/FolderScan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "common/Sniff.h"
#include "common/FileIo.h"

namespace quillet {

namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

unsigned char Folded(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

int Sign(int v) { return (v > 0) - (v < 0); }

class Walker {
 public:
  Walker(const FolderScanCallback& progress, FolderScanResult* out)
      : progress_(progress), out_(out) {}

  // False once the scan is cancelled.
  bool Folder(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
      out_->unreadable.push_back(path + ": " + std::strerror(errno));
      return true;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
      errno = 0;
    }
    const int err = errno;
    ::closedir(dir);
    if (err != 0) out_->unreadable.push_back(path + ": " + std::strerror(err));
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    ++state_.folders;
    state_.folder = path;
    if (!Report()) return false;

    const std::string prefix = path.back() == '/' ? path : path + "/";
    for (const std::string& name : names) {
      const std::string child = prefix + name;
      struct stat st {};
      if (::stat(child.c_str(), &st) != 0) continue;  // a dangling link
      if (S_ISDIR(st.st_mode)) {
        if (!Enter(st)) continue;
        if (!Folder(child)) return false;
        state_.folder = path;
      } else if (S_ISREG(st.st_mode)) {
        ++state_.files;
        if (FileLooksLikeAudio(child)) {
          ++state_.audio;
          out_->files.push_back(child);
        }
        if (state_.files % 32 == 0 && !Report()) return false;
      }
    }
    return true;
  }

  // The totals, once the walk is over.
  void Finish() {
    if (progress_ && !out_->cancelled) progress_(state_);
  }

  // True the first time a folder (by device and inode) is met.
  bool Enter(const struct stat& st) { return seen_.insert({st.st_dev, st.st_ino}).second; }

 private:
  bool Report() {
    if (progress_ && !progress_(state_)) {
      out_->cancelled = true;
      return false;
    }
    return true;
  }

  const FolderScanCallback& progress_;
  FolderScanResult* out_;
  FolderScanProgress state_;
  std::set<std::pair<dev_t, ino_t>> seen_;
};

}  // namespace

int NaturalCompare(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  int zeros = 0;  // the first difference in leading zeros, for names otherwise equal
  while (i < a.size() && j < b.size()) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[j]);
    if (IsDigit(ca) && IsDigit(cb)) {
      std::size_t za = i, zb = j;
      while (za < a.size() && a[za] == '0') ++za;
      while (zb < b.size() && b[zb] == '0') ++zb;
      std::size_t ea = za, eb = zb;
      while (ea < a.size() && IsDigit(static_cast<unsigned char>(a[ea]))) ++ea;
      while (eb < b.size() && IsDigit(static_cast<unsigned char>(b[eb]))) ++eb;
      // Without leading zeros, the longer run is the larger number; runs of equal length
      // compare digit by digit.
      if (ea - za != eb - zb) return ea - za < eb - zb ? -1 : 1;
      if (const int c = a.substr(za, ea - za).compare(b.substr(zb, eb - zb)); c != 0)
        return Sign(c);
      if (zeros == 0 && za - i != zb - j) zeros = za - i < zb - j ? -1 : 1;
      i = ea;
      j = eb;
      continue;
    }
    const unsigned char fa = Folded(ca), fb = Folded(cb);
    if (fa != fb) return fa < fb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  if (zeros != 0) return zeros;
  return Sign(a.compare(b));
}

bool FileLooksLikeAudio(const std::string& path) {
  std::string head;
  if (!ReadFileHead(path, kSniffBytes, &head).ok) return false;
  return LooksLikeAudio(head);
}

FolderScanResult ScanFolder(const std::string& folder, const FolderScanCallback& progress) {
  FolderScanResult result;
  std::string root = folder;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  struct stat st {};
  int err = 0;
  if (root.empty())
    err = ENOENT;
  else if (::stat(root.c_str(), &st) != 0)
    err = errno;
  else if (!S_ISDIR(st.st_mode))
    err = ENOTDIR;
  if (err != 0) {
    result.unreadable.push_back(folder + ": " + std::strerror(err));
    return result;
  }
  Walker walker(progress, &result);
  walker.Enter(st);
  if (walker.Folder(root)) walker.Finish();
  return result;
}

}  // namespace quillet
