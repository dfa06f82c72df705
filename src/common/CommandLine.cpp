#include "common/CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quillet {

namespace {

// The toolkit's own options (QGuiApplication, QApplication and the X11 platform), taken with one
// dash or two. A session manager restarting the program passes -session, for instance.
constexpr std::array<std::string_view, 16> kToolkitWithValue = {
    "platform",      "platformpluginpath",
    "platformtheme", "plugin",
    "qmljsdebugger", "qwindowgeometry",
    "qwindowicon",   "qwindowtitle",
    "session",       "style",
    "stylesheet",    "display",
    "geometry",      "title",
    "name",          "visual"};
constexpr std::array<std::string_view, 5> kToolkitFlags = {"reverse", "widgetcount", "nograb",
                                                           "dograb", "sync"};

bool Contains(const auto& list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

CommandLine Failed(std::string why) {
  CommandLine c;
  c.action = CommandLine::Action::Error;
  c.error = std::move(why);
  return c;
}

}  // namespace

std::string AbsoluteName(const std::string& name, const std::string& currentDir) {
  const std::string joined = !name.empty() && name.front() == '/' ? name : currentDir + "/" + name;
  std::string out;
  out.reserve(joined.size());
  std::size_t i = 0;
  while (i < joined.size()) {
    const std::size_t end = std::min(joined.find('/', i), joined.size());
    const std::string_view segment(joined.data() + i, end - i);
    if (!segment.empty() && segment != ".") {
      out += '/';
      out += segment;
    }
    i = end + 1;
  }
  if (out.empty()) out = "/";
  // A name given with a trailing separator names a folder; keep it visible as one.
  if (joined.back() == '/' && out != "/") out += '/';
  return out;
}

CommandLine ParseCommandLine(int argc, char** argv, const std::string& currentDir) {
  CommandLine c;
  if (argc > 0) c.toolkitArgs.push_back(argv[0]);
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg.front() != '-') {
      c.files.push_back(AbsoluteName(std::string(arg), currentDir));
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      if (c.action == CommandLine::Action::Run) c.action = CommandLine::Action::Help;
    } else if (arg == "-v" || arg == "--version") {
      if (c.action == CommandLine::Action::Run) c.action = CommandLine::Action::Version;
    } else if (arg == kFromDesktopEntryOption) {
      c.fromDesktopEntry = true;
    } else {
      std::string_view word = arg.substr(arg.starts_with("--") ? 2 : 1);
      const std::size_t eq = word.find('=');
      const bool hasValue = eq != std::string_view::npos;
      if (hasValue) word = word.substr(0, eq);
      if (!hasValue && Contains(kToolkitFlags, word)) {
        c.toolkitArgs.push_back(argv[i]);
      } else if (Contains(kToolkitWithValue, word)) {
        c.toolkitArgs.push_back(argv[i]);
        if (!hasValue) {
          if (i + 1 >= argc) return Failed("option '" + std::string(arg) + "' needs a value");
          c.toolkitArgs.push_back(argv[++i]);
        }
      } else {
        return Failed("unknown option '" + std::string(arg) + "' (see 'quillet --help')");
      }
    }
  }
  c.toolkitArgs.push_back(nullptr);
  return c;
}

std::string UsageText() {
  return "Usage: quillet [OPTION...] [FILE...]\n"
         "Plays MP3 and WAVE files with synchronised lyrics.\n"
         "\n"
         "The files are added to the playlist in the order given and the first of them is\n"
         "played. When Quillet is running already, it takes them over and comes to the front.\n"
         "\n"
         "  -h, --help     show this text and exit\n"
         "  -v, --version  show the version and exit\n"
         "  --             end of options: every argument after it is a file\n"
         "\n"
         "The toolkit's own options (-style, -platform, ...) are accepted too.\n";
}

}  // namespace quillet
