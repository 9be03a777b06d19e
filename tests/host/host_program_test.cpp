// tagscope-host as a user runs it: showing a file and saving a picture of itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>

#include "tagscope/rtl/files.h"
#include "tests/host/png_reader.h"
#include "tests/viewer/mp3_builder.h"

namespace tagscope {
namespace {

std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// Runs the host with arguments and returns its exit code (-1 when it had to be stopped).
int RunHost(const std::string& arguments) {
  std::string command = "\"" + WindowsPath(TAGSCOPE_HOST_EXE) + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // Wine now and then fails to start a process while another test program is starting or
  // ending; a second try then succeeds.
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) ::Sleep(500);
    started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process) != 0;
  }
  if (!started) {
    ADD_FAILURE() << "cannot start " << command << " (error " << ::GetLastError() << ")";
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
    ::GetExitCodeProcess(process.hProcess, &code);
  else
    ::TerminateProcess(process.hProcess, static_cast<UINT>(-1));
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

TEST(HostProgram, SavesAScreenshotOfTheViewerOnTheChosenPage) {
  test::TempFile file(test::Tag({test::TextFrame("TIT2", "Screenshot"),
                                 test::PictureFrame("image/bmp", 3, "", test::Bitmap16x16())}) +
                      test::Audio());
  const std::string shot = GetTempDir() + "tagscope_host_test.png";
  RemoveFile(shot);
  EXPECT_EQ(RunHost("--share-ui --page 2 --screenshot \"" + shot + "\" \"" + file.Name() + "\""),
            0);
  const TRgbImage image = test::DecodePng(test::ReadFileBytes(shot));
  RemoveFile(shot);
  EXPECT_GE(image.Width, 404);
  EXPECT_GE(image.Height, 389 + 24);
  std::set<std::uint32_t> colours;
  for (size_t i = 0; i + 2 < image.Pixels.size(); i += 3)
    colours.insert(image.Pixels[i] << 16 | image.Pixels[i + 1] << 8 | image.Pixels[i + 2]);
  EXPECT_GT(colours.size(), 4u) << "the picture shows no window";
}

TEST(HostProgram, ReportsWhatItCannotDo) {
  EXPECT_EQ(RunHost("--no-such-option"), 2);
  EXPECT_EQ(RunHost("--plugin no-such-plugin.dll"), 1);
  const std::string shot = GetTempDir() + "tagscope_host_test_page.png";
  EXPECT_EQ(RunHost("--page 9 --screenshot \"" + shot + "\""), 2);
  EXPECT_EQ(RunHost("--page 4 --row 9999 --screenshot \"" + shot + "\""), 2);
  EXPECT_EQ(RunHost("--row -1"), 2);
  EXPECT_FALSE(FileExists(shot));
}

}  // namespace
}  // namespace tagscope
