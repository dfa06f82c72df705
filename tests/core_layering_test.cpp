// The include graph of src/: every include runs down the layers, and no file reaches itself
// through its includes. The build already refuses an include of a folder a target does not link;
// this also holds the rules that linking alone cannot (the engine only through the player and the
// program, the byte formats never reaching it) and catches loops inside a folder. And the windows
// keep no play state: they read the player's snapshot.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// What each folder may include besides itself.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"common", {}},
    {"audio", {"common"}},
    {"playlist", {"common"}},
    {"tags", {"common", "playlist"}},
    {"lyrics", {"common", "playlist"}},
    {"player", {"common", "audio", "playlist", "lyrics"}},
    {"platform", {"common"}},
    {"shell", {"common", "playlist", "lyrics", "player", "platform"}},
    {"app", {"common", "audio", "playlist", "lyrics", "player", "platform", "shell"}},
};

struct Include {
  std::string target;  // "folder/File.h"
  int line;
};

std::vector<Include> QuotedIncludes(const fs::path& file) {
  std::vector<Include> out;
  std::ifstream in(file);
  std::string text;
  int n = 0;
  while (std::getline(in, text)) {
    ++n;
    // #include "folder/File.h", blanks allowed around the '#'.
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos || text[i] != '#') continue;
    i = text.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || text.compare(i, 7, "include") != 0) continue;
    const std::size_t open = text.find('"', i + 7);
    const std::size_t close = open == std::string::npos ? open : text.find('"', open + 1);
    if (close == std::string::npos) continue;
    out.push_back({text.substr(open + 1, close - open - 1), n});
  }
  return out;
}

TEST(Layering, IncludesRunDownTheLayersWithoutLoops) {
  const fs::path src = fs::path(QUILLET_SOURCE_DIR) / "src";
  std::map<std::string, std::vector<std::string>> graph;  // "folder/File" -> included files
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    ++files;
    const std::string rel = fs::relative(entry.path(), src).generic_string();
    const std::string folder = rel.substr(0, rel.find('/'));
    const auto allowed = kMayInclude.find(folder);
    ASSERT_NE(allowed, kMayInclude.end()) << "a folder with no place in the layers: " << folder;
    std::vector<std::string>& edges = graph[rel];
    for (const Include& inc : QuotedIncludes(entry.path())) {
      // Files the build generates beside a source (Name.moc) are no layer of their own.
      if (inc.target.find('/') == std::string::npos) continue;
      const std::string to = inc.target.substr(0, inc.target.find('/'));
      EXPECT_TRUE(to == folder || allowed->second.count(to) > 0)
          << rel << ":" << inc.line << " includes " << inc.target;
      edges.push_back(inc.target);
    }
  }
  EXPECT_GT(files, 40);

  // The play state is the player's own: no window reads or writes a shared copy of it.
  for (const auto& entry : fs::recursive_directory_iterator(src / "shell")) {
    std::ifstream in(entry.path());
    std::string text;
    int n = 0;
    while (std::getline(in, text)) {
      ++n;
      for (const char* field : {"PlayerState", "PlayMode", "CurrentStream", "LstIndex", "SelIndex",
                                "SelPaths", "LyricLines"}) {
        const std::size_t at = text.find(field);
        if (at == std::string::npos || at == 0) continue;
        const char before = text[at - 1];
        EXPECT_FALSE(before == '.' || before == '>')
            << entry.path().filename().string() << ":" << n << " reads " << field;
      }
    }
  }

  // A depth-first walk; a file met again while it is still open closes a loop.
  std::map<std::string, int> mark;  // 1 open, 2 done
  std::vector<std::string> stack;
  std::function<void(const std::string&)> visit = [&](const std::string& f) {
    mark[f] = 1;
    stack.push_back(f);
    for (const std::string& to : graph[f]) {
      if (mark[to] == 1) {
        std::string loop;
        for (const std::string& s : stack) loop += s + " -> ";
        ADD_FAILURE() << "include loop: " << loop << to;
      } else if (mark[to] == 0 && graph.count(to) > 0) {
        visit(to);
      }
    }
    stack.pop_back();
    mark[f] = 2;
  };
  for (const auto& [f, edges] : graph) {
    if (mark[f] == 0) visit(f);
  }
}

}  // namespace
