#include "common/profile.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace horavex {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::ReadFile;

// Truncates and writes in place (same inode), as an editor that does not rename would.
void Write(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

class ProfileTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  fs::path file = dir.File("horavex.ini");
};

TEST_F(ProfileTest, IntegersReadLikeTheWindowsProfileButSaturate) {
  const struct {
    const char* stored;  // nullptr: the key is absent
    int expected;
  } cases[] = {
      {"12abc", 12},  {"abc", 0},   {"", -7},         {nullptr, -7},    {"-5", -5},
      {"+7", 7},      {"  42", 42}, {"007", 7},       {"12 34", 12},    {"- 5", 0},
      {"-", 0},       {"0x1F", 0},  {"2147483647", INT_MAX},            {"2147483648", INT_MAX},
      {"4294967333", INT_MAX},      {"99999999999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},     {"-2147483649", INT_MIN},           {"-99999999999", INT_MIN},
  };
  std::string text = "[S]\n";
  for (std::size_t i = 0; i < std::size(cases); ++i)
    if (cases[i].stored) text += "K" + std::to_string(i) + "=" + cases[i].stored + "\n";
  Write(file, text);
  Profile profile(file);
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(profile.GetInt("S", "K" + std::to_string(i), -7), cases[i].expected)
        << "stored: " << (cases[i].stored ? cases[i].stored : "(absent)");
}

TEST_F(ProfileTest, NamesCompareWithoutRegardToCaseAndKeepTheirSpelling) {
  Write(file, "[Common]\ncheckCONNECT=2\n");
  Profile profile(file);
  EXPECT_EQ(profile.GetInt("COMMON", "CheckConnect", 0), 2);
  ASSERT_TRUE(profile.WriteInt("common", "CHECKCONNECT", 1));
  EXPECT_EQ(profile.GetInt("Common", "checkconnect", 0), 1);
  EXPECT_EQ(ReadFile(file), "[Common]\ncheckCONNECT=1\n");
}

TEST_F(ProfileTest, AHandEditBetweenTwoReadsIsSeen) {
  Write(file, "[S]\nServer=aaa\n");
  Profile profile(file);
  EXPECT_EQ(profile.GetString("S", "Server", ""), "aaa");
  // Same size, inode and modification time: only the recent change of the file gives it away.
  struct stat before {};
  ASSERT_EQ(stat(file.c_str(), &before), 0);
  Write(file, "[S]\nServer=bbb\n");
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  EXPECT_EQ(profile.GetString("S", "Server", ""), "bbb");
}

TEST_F(ProfileTest, AWriteCreatesTheDirectoryAndKeepsModeAndLinks) {
  const fs::path nested = dir.Path() / "a" / "b" / "x.ini";
  Profile created(nested);
  ASSERT_TRUE(created.WriteInt("S", "K", 1));
  ASSERT_EQ(chmod(nested.c_str(), 0640), 0);
  ASSERT_TRUE(created.WriteInt("S", "K", 2));
  struct stat st {};
  ASSERT_EQ(stat(nested.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // A profile kept elsewhere and linked into place stays linked.
  const fs::path link = dir.File("link.ini");
  fs::create_symlink(nested, link);
  ASSERT_TRUE(Profile(link).WriteInt("S", "L", 3));
  EXPECT_TRUE(fs::is_symlink(link));
  Profile check(nested);
  EXPECT_EQ(check.GetInt("S", "K", 0), 2);
  EXPECT_EQ(check.GetInt("S", "L", 0), 3);
}

TEST_F(ProfileTest, TextsThatWouldReadBackOtherwiseAreRefused) {
  Write(file, "[S]\nK=old\n");
  Profile profile(file);
  const struct {
    const char *section, *key, *value;
  } refused[] = {
      {"S", "K", "a\nEvil=1"}, {"S", "K", "a\rb"}, {"S", "A=B", "1"}, {"S]x", "K", "1"},
      {"S", ";K", "1"},        {"S", "[K", "1"},   {"", "K", "1"},    {"S", "", "1"},
  };
  for (const auto& r : refused) {
    EXPECT_FALSE(profile.WriteString(r.section, r.key, r.value)) << r.section << "/" << r.key;
    EXPECT_EQ(profile.LastError(), EINVAL);
  }
  EXPECT_FALSE(profile.WriteString("S", "K", std::string_view("a\0b", 3)));
  EXPECT_EQ(ReadFile(file), "[S]\nK=old\n");
  EXPECT_TRUE(profile.WriteString("S", "K", "new"));
  EXPECT_EQ(profile.LastError(), 0);
}

// Root writes anywhere: for the test's duration it gives up the capabilities that allow it.
class ScopedDropDacOverride {
 public:
  ScopedDropDacOverride() {
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
      reduced[cap / 32].effective &= ~(1u << (cap % 32));
    dropped_ = syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~ScopedDropDacOverride() {
    if (dropped_) syscall(SYS_capset, &header_, saved_);
  }
  bool dropped_ = false;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

TEST_F(ProfileTest, AFailedWriteReportsErrnoAndKeepsTheOldFile) {
  Profile profile(file);
  ASSERT_TRUE(profile.WriteString("S", "K", "old"));
  const std::string before = ReadFile(file);
  ScopedDropDacOverride drop;
  if (geteuid() == 0 && !drop.dropped_) GTEST_SKIP() << "cannot give up CAP_DAC_OVERRIDE";
  for (const fs::path& readOnly : {file, dir.Path()}) {
    ASSERT_EQ(chmod(readOnly.c_str(), 0555), 0);
    EXPECT_FALSE(profile.WriteString("S", "K", "new"));
    EXPECT_EQ(profile.LastError(), EACCES);
    ASSERT_EQ(chmod(readOnly.c_str(), 0755), 0);
  }
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_EQ(profile.GetString("S", "K", ""), "old");
}

TEST_F(ProfileTest, GarbledFilesReadAsDefaultsAndCanBeWrittenOver) {
  std::mt19937 random(1234);
  std::string junk(4096, '\0');
  for (char& c : junk) c = static_cast<char>(random() & 0xFF);
  const struct {
    const char* what;
    std::string content;
    int expected;  // of S/K, default 5
  } cases[] = {
      {"empty", "", 5},
      {"binary junk", junk, 5},
      {"NUL bytes", "[S]\nA=1\0junk\nK=2\n"s, 2},
      {"10 MB line", std::string(10 << 20, 'x') + "\n[S]\nK=3\n", 3},
      {"no sections", "K=3\nL=4\n", 5},
      {"brackets", "[[[[]]]]\n[\n]\n=\n==\n[]\n", 5},
      {"CRLF", "[S]\r\nK=3\r\n", 3},
      {"byte order mark", "\xEF\xBB\xBF[S]\nK=4\n", 4},
      {"comments", "; [S]\n# K=1\n[S]\n;K=2\nK=6\n", 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write(file, c.content);
    Profile profile(file);
    EXPECT_EQ(profile.GetInt("S", "K", 5), c.expected);
    ASSERT_TRUE(profile.WriteInt("S", "New", 9));
    EXPECT_EQ(Profile(file).GetInt("S", "New", 0), 9);
    EXPECT_EQ(profile.GetInt("S", "K", 5), c.expected);
  }
}

TEST_F(ProfileTest, WhatIsNoRegularFileReadsAsDefaultsAndIsNeverReplaced) {
  ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);  // a plain open would block on it
  Profile fifo(file);
  EXPECT_EQ(fifo.GetInt("S", "K", 5), 5);
  EXPECT_FALSE(fifo.WriteInt("S", "K", 1));
  EXPECT_TRUE(fs::is_fifo(file));
  const fs::path directory = dir.File("d.ini");
  fs::create_directory(directory);
  Profile folder(directory);
  EXPECT_EQ(folder.GetString("S", "K", "x"), "x");
  EXPECT_FALSE(folder.WriteInt("S", "K", 1));
  EXPECT_TRUE(fs::is_directory(directory));
}

TEST(ProfilePathTest, DefaultPathFollowsAnAbsoluteXdgConfigHome) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string restore = saved ? saved : "";
  const fs::path fallback = fs::path(std::getenv("HOME")) / ".config" / "horavex.ini";
  setenv("XDG_CONFIG_HOME", "/x/y", 1);
  EXPECT_EQ(Profile::DefaultPath("horavex"), fs::path("/x/y/horavex.ini"));
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(Profile::DefaultPath("horavex"), fallback);
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(Profile::DefaultPath("horavex"), fallback);
  if (saved) setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
}

}  // namespace
}  // namespace horavex
