// File names on Windows: in UTF-8 when a program selects it, in the ANSI code page otherwise.
// The wide-character API is the judge of which file a name reached.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace tagscope {
namespace {

std::string ToCodePage(UINT codePage, const std::wstring& wide) {
  const int size = static_cast<int>(wide.size());
  std::string result(
      ::WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr), '\0');
  ::WideCharToMultiByte(codePage, 0, wide.data(), size, result.data(),
                        static_cast<int>(result.size()), nullptr, nullptr);
  return result;
}

std::string Utf8(const std::wstring& wide) {
  return ToCodePage(CP_UTF8, wide);
}

bool WideExists(const std::wstring& name) {
  return ::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// None of these is in a Western ANSI code page.
const std::wstring kUnicodeName = L"\u00dcn\u00efc\u00f8d\u00e9-\u65e5\u672c.mp3";
const std::wstring kGreekName = L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac.mp3";

class FileNames : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    folder = std::wstring(temp, length) + L"tagscope_rtl_names_" +
             std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    folder += L"\\";
  }
  void TearDown() override {
    UseUtf8FileNames(false);
    for (const std::wstring& name : Names()) ::DeleteFileW((folder + name).c_str());
    ::RemoveDirectoryW(folder.c_str());
  }
  // The names in the folder as the wide API lists them.
  std::set<std::wstring> Names() const {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.insert(name);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return names;
  }
  std::wstring folder;
};

TEST_F(FileNames, Utf8NamesReachEveryCharacter) {
  UseUtf8FileNames(true);
  const std::string name = Utf8(folder + kUnicodeName), greek = Utf8(folder + kGreekName);
  TFileStream(name, TFileMode::fmCreate).WriteString("tag");
  EXPECT_EQ(Names(), std::set<std::wstring>{kUnicodeName});
  EXPECT_TRUE(FileExists(name));
  EXPECT_EQ(TFileStream(name, TFileMode::fmOpenRead).ReadString(10), "tag");

  ASSERT_TRUE(RenameFile(name, greek));
  EXPECT_EQ(Names(), std::set<std::wstring>{kGreekName});
  EXPECT_FALSE(FileExists(name));

  ::SetFileAttributesW((folder + kGreekName).c_str(), FILE_ATTRIBUTE_HIDDEN);
  TFileStream(name, TFileMode::fmCreateNew).WriteString("new");
  EXPECT_TRUE(CopyFilePermissions(greek, name));
  EXPECT_TRUE(::GetFileAttributesW((folder + kUnicodeName).c_str()) & FILE_ATTRIBUTE_HIDDEN);

  EXPECT_TRUE(RemoveFile(greek));
  EXPECT_TRUE(RemoveFile(name));
  EXPECT_TRUE(Names().empty());
}

TEST_F(FileNames, NamesThatAreNotUtf8AreRefused) {
  UseUtf8FileNames(true);
  const std::string name = Utf8(folder) + "caf\xE9.mp3";  // ISO-8859-1, not UTF-8
  EXPECT_THROW(TFileStream(name, TFileMode::fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(name, TFileMode::fmOpenRead), EFOpenError);
  EXPECT_FALSE(FileExists(name));
  EXPECT_FALSE(RemoveFile(name));
  EXPECT_TRUE(Names().empty()) << "no file under a replacement character";
}

TEST_F(FileNames, TempDirInUtf8) {
  const std::wstring dir = folder + kUnicodeName;
  ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
  wchar_t kept[32767] = {};
  const bool hadTmp = ::GetEnvironmentVariableW(L"TMP", kept, 32767) > 0;
  ::SetEnvironmentVariableW(L"TMP", dir.c_str());
  UseUtf8FileNames(true);
  const std::string temp = GetTempDir();
  ::SetEnvironmentVariableW(L"TMP", hadTmp ? kept : nullptr);
  ::RemoveDirectoryW(dir.c_str());
  EXPECT_EQ(temp, Utf8(dir) + "\\");
}

// Without UseUtf8FileNames names are what the ANSI API takes, byte for byte: a host's names.
TEST_F(FileNames, AnsiNamesByDefault) {
  const std::string folderAnsi = ToCodePage(CP_ACP, folder);
  const std::string ansi = folderAnsi + "caf\xE9.mp3";
  TFileStream(ansi, TFileMode::fmCreate).WriteString("tag");
  EXPECT_NE(::GetFileAttributesA(ansi.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(FileExists(ansi));
  // UTF-8 bytes are characters of the code page: they name another file than UTF-8 would.
  const std::string utf8 = folderAnsi + Utf8(kUnicodeName);
  ASSERT_TRUE(RenameFile(ansi, utf8));
  EXPECT_NE(::GetFileAttributesA(utf8.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(::GetFileAttributesA(ansi.c_str()), INVALID_FILE_ATTRIBUTES);
  if (::GetACP() != CP_UTF8) {
    EXPECT_FALSE(WideExists(folder + kUnicodeName));
  }
  EXPECT_TRUE(RemoveFile(utf8));
  EXPECT_TRUE(Names().empty());
}

}  // namespace
}  // namespace tagscope
