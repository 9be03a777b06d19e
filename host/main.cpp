// tagscope-host: a small stand-in for a file manager. It loads tagscope.dll at run time, embeds
// a viewer window in a pane of its own window and shows the files named on its command line.
//
//   tagscope-host [--share-ui] [--plugin FILE] [--page N] [--row N] [--screenshot OUT.png]
//                 [FILE...]
//
// --share-ui takes over the viewer's menu, toolbar and keyboard shortcuts; --page selects a tab
// page of the viewer (0 to 4), --row a row of the list on that page; --screenshot saves a PNG
// picture of the window once the files are shown, then exits.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_window.h"
#include "host/plugin_library.h"

namespace {

struct THostOptions {
  std::string PluginFile = "tagscope.dll";
  bool ShareUI = false;
  int Page = -1;
  int Row = -1;
  std::string ScreenshotFile;
  std::vector<std::string> Files;
};

constexpr char kUsage[] =
    "usage: tagscope-host [--share-ui] [--plugin FILE] [--page N] [--row N] "
    "[--screenshot OUT.png] [FILE...]\n";

bool ParseOptions(int argc, char** argv, THostOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--share-ui") {
      options.ShareUI = true;
    } else if (arg == "--plugin" && hasValue) {
      options.PluginFile = argv[++i];
    } else if ((arg == "--page" || arg == "--row") && hasValue) {
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*end || value < 0 || value > 100000) return false;
      (arg == "--page" ? options.Page : options.Row) = static_cast<int>(value);
    } else if (arg == "--screenshot" && hasValue) {
      options.ScreenshotFile = argv[++i];
    } else if (arg.rfind("--", 0) == 0) {
      return false;
    } else {
      options.Files.push_back(arg);
    }
  }
  return true;
}

int RunMessageLoop(const tagscope::THostWindow& host) {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // The viewer's shortcuts become command messages to the host window, which routes them on.
    if (host.Accelerators() && ::IsWindow(host.Handle()) &&
        ::TranslateAcceleratorA(host.Handle(), host.Accelerators(), &msg))
      continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return host.ExitCode();
}

int Run(const THostOptions& options) {
  tagscope::TPluginLibrary plugin(options.PluginFile);
  tagscope::THostWindow host(plugin, options.ShareUI, !options.ScreenshotFile.empty());
  host.Show();
  bool shown = true;
  for (const std::string& file : options.Files) shown = host.ShowFile(file) && shown;
  if (options.Page >= 0 && !host.SelectPage(options.Page)) {
    std::fprintf(stderr, "The viewer has no page %d.\n", options.Page);
    return 2;
  }
  if (options.Row >= 0 && !host.SelectRow(options.Row)) {
    std::fprintf(stderr, "The page shown has no row %d.\n", options.Row);
    return 2;
  }
  if (!options.ScreenshotFile.empty()) host.ScheduleScreenshot(options.ScreenshotFile);
  const int result = RunMessageLoop(host);
  return result != 0 ? result : shown ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  THostOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    return Run(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tagscope-host: %s\n", e.what());
    return 1;
  }
}
