#include "platform/host/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/host/reset.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace {

using namespace platform;

class Files : public testing_support::HostFixture {};

TEST_F(Files, WindowsPathsMapUnderTheirLongestPrefix) {
  ASSERT_TRUE(MapPathPrefix(u"C:\\Drv", "/h/drv/"));
  ASSERT_TRUE(MapPathPrefix(u"c:/drv/Fonts", "/h/fonts"));
  ASSERT_TRUE(MapPathPrefix(u"\\\\Server\\Share", "/h/share"));
  ASSERT_TRUE(MapPathPrefix(u"E:", "/h/e"));
  EXPECT_FALSE(MapPathPrefix(u"relative\\dir", "/h/x"));
  EXPECT_FALSE(MapPathPrefix(u"C:\\..", "/h/x"));
  EXPECT_FALSE(MapPathPrefix(u"D:\\x", ""));

  struct Case {
    const char16_t* path;
    const char* host;  // null: no host path
  };
  const Case cases[] = {
      {u"C:\\Drv\\f\\a.dat", "/h/drv/f/a.dat"},
      {u"c:\\DRV\\f\\a.dat", "/h/drv/f/a.dat"},  // prefixes ignore case, the rest is kept
      {u"C:/Drv//f/./a.dat", "/h/drv/f/a.dat"},
      {u"C:\\Drv", "/h/drv"},
      {u"C:\\Drv\\f\\..\\a.dat", "/h/drv/a.dat"},
      {u"C:\\Drv\\Fonts\\x.ttf", "/h/fonts/x.ttf"},
      {u"C:\\Drv\\Fonts\\..\\x.ttf", "/h/drv/x.ttf"},
      {u"C:\\Drvx\\a.dat", nullptr},  // prefixes match whole names
      {u"C:\\Drv\\..\\..\\x", nullptr},
      {u"C:\\Drv\\..\\x", nullptr},  // C:\x is not mapped
      {u"C:\\x", nullptr},
      {u"D:\\Drv\\f\\a.dat", nullptr},
      {u"C:Drv\\a.dat", nullptr},  // drive-relative
      {u"C:\\Drv\\a.dat:stream", nullptr},
      {u"E:\\", "/h/e"},
      {u"e:\\Spool\\1.spl", "/h/e/Spool/1.spl"},
      {u"\\\\SERVER\\share\\d\\p.dat", "/h/share/d/p.dat"},
      {u"\\\\Server\\Other\\p.dat", nullptr},
      {u"\\Drv\\a.dat", nullptr},
      {u"/tmp/host/../file", "/tmp/file"},       // host paths resolve ".." too
      {u"/tmp//host/./a\\b", "/tmp/host/a\\b"},  // "\" separates nothing there
      {u"/tmp/../..", nullptr},
      {u"sub\\a.dat", "sub/a.dat"},
      {u"sub\\..\\..\\a.dat", nullptr},
      {u"", nullptr},
      {u"C:\\Drv\\\xD800.dat", nullptr},  // does not convert
  };
  for (const Case& c : cases) {
    std::optional<std::string> host = ToHostPath(std::u16string_view(c.path));
    SCOPED_TRACE(c.host != nullptr ? c.host : "(none)");
    ASSERT_EQ(host.has_value(), c.host != nullptr);
    if (host) {
      EXPECT_EQ(*host, c.host);
    }
  }
  // 8-bit paths in the code page.
  EXPECT_EQ(ToHostPath(std::string_view("C:\\Drv\\\xC3\xA9.dat")), "/h/drv/\xC3\xA9.dat");
  EXPECT_EQ(ToHostPath(std::string_view("C:\\Drv\\\xC3.dat")), std::nullopt);
  // A later mapping of the same prefix replaces the directory.
  ASSERT_TRUE(MapPathPrefix(u"C:\\DRV", "/h/other"));
  EXPECT_EQ(ToHostPath(std::u16string_view(u"C:\\Drv\\a")), "/h/other/a");
}

TEST_F(Files, CreateAndDeleteGoThroughTheMapping) {
  testing_support::TempPath root("drv-files");
  namespace fs = std::filesystem;
  fs::create_directories(fs::path(root.str()) / "f");
  testing_support::WriteAll(root.str() + "/f/a.dat", "abc");
  ASSERT_TRUE(MapPathPrefix(u"C:\\Drv", root.str()));

  struct Case {
    const char16_t* path;
    DWORD disposition;
    DWORD error;  // kErrorSuccess or kErrorAlreadyExists: opened
  };
  const std::u16string too_long = u"C:\\Drv\\f\\" + std::u16string(300, u'x');
  const Case cases[] = {
      {too_long.c_str(), kCreateNew, kErrorFilenameExcedRange},
      {u"C:\\Drv\\f\\a.dat", kOpenExisting, kErrorSuccess},
      {u"c:\\drv\\F\\A.DAT", kOpenExisting, kErrorFileNotFound},  // host names keep their case
      {u"D:\\f\\a.dat", kOpenExisting, kErrorPathNotFound},
      {u"C:\\Drv\\..\\..\\x", kOpenExisting, kErrorPathNotFound},
      {u"C:\\Drv\\f", kOpenExisting, kErrorAccessDenied},  // a directory
      {u"C:\\Drv\\f\\a.dat", kCreateNew, kErrorFileExists},
      {u"C:\\Drv\\f\\b.dat", kCreateNew, kErrorSuccess},
      {u"C:\\Drv\\f\\b.dat", kCreateAlways, kErrorAlreadyExists},
      {u"C:\\Drv\\f\\c.dat", kOpenAlways, kErrorSuccess},
      {u"C:\\Drv\\f\\c.dat", kOpenAlways, kErrorAlreadyExists},
      {u"C:\\Drv\\g\\c.dat", kCreateAlways, kErrorFileNotFound},
      {u"C:\\Drv\\f\\a.dat", 9, kErrorInvalidParameter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::u16string(c.path).size() << " " << c.disposition);
    HANDLE file = CreateFileW(c.path, 0, 0, nullptr, c.disposition, kFileAttributeNormal, nullptr);
    EXPECT_EQ(GetLastError(), c.error);
    bool opened = c.error == kErrorSuccess || c.error == kErrorAlreadyExists;
    EXPECT_EQ(file != kInvalidHandleValue, opened);
    if (opened) {
      EXPECT_EQ(CloseHandle(file), 1);
    }
  }
  EXPECT_EQ(testing_support::ReadAll(root.str() + "/f/a.dat"), "abc");  // opening kept it

  // Creating always empties an existing file.
  HANDLE file =
      CreateFileW(u"C:\\Drv\\f\\a.dat", kGenericRead, 0, nullptr, kCreateAlways, 0, nullptr);
  ASSERT_NE(file, kInvalidHandleValue);
  EXPECT_EQ(OpenFileCount(), 1u);
  EXPECT_EQ(CloseHandle(file), 1);
  EXPECT_EQ(CloseHandle(file), 0);
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_EQ(fs::file_size(root.str() + "/f/a.dat"), 0u);

  EXPECT_EQ(DeleteFileW(u"C:\\Drv\\f\\a.dat"), 1);
  EXPECT_FALSE(fs::exists(root.str() + "/f/a.dat"));
  EXPECT_EQ(DeleteFileW(u"C:\\Drv\\f\\a.dat"), 0);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_EQ(DeleteFileW(u"C:\\Drv\\..\\..\\f\\b.dat"), 0);
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_TRUE(fs::exists(root.str() + "/f/b.dat"));

  // A reset closes what is open and forgets the mappings.
  HANDLE kept = CreateFileW(u"C:\\Drv\\f\\b.dat", 0, 0, nullptr, kOpenExisting, 0, nullptr);
  ASSERT_NE(kept, kInvalidHandleValue);
  ResetHostServices();
  EXPECT_EQ(OpenFileCount(), 0u);
  EXPECT_EQ(CloseHandle(kept), 0);
  EXPECT_EQ(ToHostPath(std::u16string_view(u"C:\\Drv\\f\\b.dat")), std::nullopt);
  fs::remove_all(root.str());
}

// A flush needs no descriptor of its own: at the process's limit (in a
// child) the file still reaches its disk.
TEST_F(Files, AFlushAtTheDescriptorLimitGoesThrough) {
  testing_support::TempPath folder("flush");
  std::filesystem::create_directories(folder.str());
  ASSERT_TRUE(MapPathPrefix(u"C:\\Drv", folder.str()));
  HANDLE file = CreateFileW(u"C:\\Drv\\a", kGenericWrite, 0, nullptr, kCreateNew, 0, nullptr);
  ASSERT_NE(file, kInvalidHandleValue);
  const auto flush = [&] {
    while (::open("/dev/null", O_RDONLY) >= 0) {
    }
    return FlushFileBuffers(file);
  };
  EXPECT_EQ(testing_support::WithLimit(RLIMIT_NOFILE, 64, flush), 1);
  EXPECT_EQ(CloseHandle(file), 1);
}

// Only where a file really is counts: links are followed, ".." refused.
TEST_F(Files, AFileIsInAFolderOnlyWhereItResolves) {
  namespace fs = std::filesystem;
  testing_support::TempPath root("resolve");
  const std::string drv = root.str() + "/drv", out = root.str() + "/out";
  fs::create_directories(drv + "/sub");
  fs::create_directories(out);
  fs::create_directory_symlink(out, drv + "/away");
  fs::create_symlink(out + "/gone", drv + "/dangling");
  fs::create_symlink(drv + "/sub", out + "/into");
  ASSERT_TRUE(MapPathPrefix(u"C:\\Drv", drv) && MapPathPrefix(u"C:\\Out", out));
  const std::u16string host = fs::path(drv).u16string();
  const std::pair<std::u16string, bool> cases[] = {{u"C:\\Drv\\sub\\new", true},
                                                   {u"C:\\Out\\into\\new", true},
                                                   {host + u"/sub/new", true},
                                                   {u"C:\\Drv\\away\\new", false},
                                                   {u"C:\\Drv\\dangling", false},
                                                   {u"C:\\Drv\\sub\\..\\new", false},
                                                   {host + u"/../out/new", false},
                                                   {u"C:\\Drv\\none\\new", false},
                                                   {std::u16string(u"C:\\Drv\\x\0y", 10), false}};
  for (const auto& [path, inside] : cases)
    EXPECT_EQ(IsFileInFolder(path, u"C:\\Drv"), inside) << fs::path(path).string();
  fs::remove_all(root.str());
}

TEST_F(Files, CopiesGoThroughThePathMapping) {
  testing_support::TempPath folder("copy");
  std::filesystem::create_directories(folder.str() + "/sub");
  ASSERT_TRUE(MapPathPrefix(u"C:\\Drv", folder.str()));
  testing_support::WriteAll(folder.str() + "/a.bin", std::string(70000, 'a'));
  testing_support::WriteAll(folder.str() + "/b.bin", "old");
  struct Case {
    const char16_t* from;
    const char16_t* to;
    BOOL fail_if_exists;
    DWORD error;  // 0: copied
  };
  const Case cases[] = {
      {u"C:\\Drv\\a.bin", u"C:\\Drv\\b.bin", 1, kErrorFileExists},
      {u"C:\\Drv\\a.bin", u"C:\\Drv\\b.bin", 0, 0},
      {u"C:\\Drv\\none.bin", u"C:\\Drv\\c.bin", 0, kErrorFileNotFound},
      {u"C:\\Drv\\a.bin", u"D:\\c.bin", 0, kErrorPathNotFound},
      {u"C:\\Drv\\sub", u"C:\\Drv\\c.bin", 0, kErrorAccessDenied},
      {u"C:\\Drv\\a.bin", u"C:\\Drv\\sub", 0, kErrorAccessDenied},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(CopyFileW(c.from, c.to, c.fail_if_exists), c.error == 0 ? 1 : 0);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(testing_support::ReadAll(folder.str() + "/b.bin"), std::string(70000, 'a'));
  EXPECT_FALSE(std::filesystem::exists(folder.str() + "/c.bin"));
}

TEST_F(Files, AMoveRepointsANameAndAHardLinkIsTheSameFile) {
  testing_support::TempPath folder("move");
  const std::string at = folder.str() + "/";
  std::filesystem::create_directories(at + "sub");
  ASSERT_TRUE(MapPathPrefix(u"C:\\Drv", folder.str()));
  testing_support::WriteAll(at + "a", "a");
  testing_support::WriteAll(at + "b", "b");
  std::filesystem::create_hard_link(at + "b", at + "link");
  EXPECT_TRUE(IsSameFile(u"C:\\Drv\\b", u"C:\\Drv\\link"));
  EXPECT_FALSE(IsSameFile(u"C:\\Drv\\a", u"C:\\Drv\\b"));
  EXPECT_EQ(MoveFileExW(u"C:\\Drv\\a", u"C:\\Drv\\b", 0) + GetLastError(), kErrorAlreadyExists);
  EXPECT_EQ(MoveFileExW(u"C:\\Drv\\a", u"C:\\Drv\\sub", kMoveFileReplaceExisting) + GetLastError(),
            kErrorAccessDenied);
  EXPECT_EQ(MoveFileExW(u"C:\\Drv\\a", u"C:\\Drv\\b", kMoveFileReplaceExisting), 1);
  // b's name now leads to a's file; the link keeps b's.
  EXPECT_EQ(testing_support::ReadAll(at + "b") + testing_support::ReadAll(at + "link"), "ab");
}

}  // namespace
