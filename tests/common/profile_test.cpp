// The profile and the one settings shape over it, with the client, server and common sections.
#include "common/profile.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <functional>
#include <future>

#include <gtest/gtest.h>

#include "client/client_settings.h"
#include "common/common_settings.h"
#include "common/profile_file.h"
#include "server/server_settings.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;

struct ProfileTest : ::testing::Test {
  // Truncates and writes in place (same inode), as an editor that does not rename would.
  void Write(const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }
  testing::TempDir dir;
  fs::path file = dir.File("horavex.ini");
};

TEST_F(ProfileTest, GarbledTextReadsLikeTheWindowsProfile) {
  const std::pair<std::string, int> cases[] = {  // the file, and what it gives for S/K with default 5
      {"[S]\nK=12abc\n", 12}, {"[s]\nk=abc\n", 0}, {"[S]\nK=\n", 5}, {"[S]\nK=  -42\n", -42}, {"[S]\nK=0x1F\n", 0},
      {"[S]\nK=99999999999999999999\n", INT_MAX}, {"[S]\nK=-2147483649\n", INT_MIN}, {"K=1\n[[[[]]]]\n[\n]\n=\n==\n[]\n", 5},
      {std::string(10 << 20, 'x') + "\n[S]\nK=3\n", 3}, {std::string("[S]\nA=1\0junk\nK=2\n", 17), 2},
      {"\xEF\xBB\xBF[S]\r\nK=4\r\n", 4}, {"; [S]\n# K=1\n[S]\n;K=2\nK=6\n", 6}};
  for (const auto& [content, k] : cases) {
    Write(content);
    Profile profile(file);
    EXPECT_EQ(profile.GetInt("S", "K", 5), k) << content.substr(0, 30);
  }
}

TEST_F(ProfileTest, TextsThatWouldReadBackOtherwiseAreRefusedAndHandEditsAreSeen) {
  Write("[Common]\ncheckCONNECT=2\n");
  Profile profile(file);
  const fs::file_time_type written = fs::last_write_time(file);
  const std::string refused[][3] = {{"S", "K", "a\nEvil=1"}, {"S", "K", "a\rb"}, {"S", "K", std::string("a\0b", 3)},
                                    {"S", "A=B", "1"}, {"S]x", "K", "1"}, {"S", ";K", "1"}, {"S", "[K", "1"}, {"", "K", "1"}};
  for (const auto& r : refused) EXPECT_EQ(profile.WriteString(r[0], r[1], r[2]), std::errc::invalid_argument) << r[1];
  EXPECT_EQ(profile.GetInt("COMMON", "CheckConnect", 0), 2);
  // Same size, inode and modification time: only the recent change of the file gives it away.
  Write("[Common]\ncheckCONNECT=3\n");
  fs::last_write_time(file, written);
  EXPECT_EQ(profile.GetInt("COMMON", "CheckConnect", 0), 3);
}

TEST_F(ProfileTest, AWriteKeepsModeAndLinks) {
  const fs::path link = dir.File("link.ini");
  Write("[S]\nK=1\n");
  fs::permissions(file, fs::perms(0640));
  fs::create_symlink(file, link);  // a profile kept elsewhere and linked into place stays linked
  ASSERT_EQ(Profile(link).WriteInt("S", "L", 2), std::error_code());
  EXPECT_TRUE(fs::is_symlink(link) && fs::status(file).permissions() == fs::perms(0640));
  EXPECT_EQ(testing::ReadFile(file), "[S]\nK=1\nL=2\n");
}

TEST_F(ProfileTest, AFileThatCannotBeReadIsNamedReadAsDefaultsAndNeverReplacedAndAMissingDirectoryIsMade) {
  ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);  // a plain open would block on it
  fs::create_directory(dir.File("dir.ini"));
  fs::create_symlink("loop.ini", dir.File("loop.ini"));
  const std::pair<fs::path, std::string> cases[] = {{file, "geen gewoon bestand"}, {dir.File("dir.ini"), "een map"},
                                                    {dir.File("loop.ini"), "kring"}, {dir.File("no") / "x.ini", "de map"},
                                                    {dir.File("new.ini"), ""}};
  for (const auto& [path, why] : cases) {
    Profile profile(path);
    EXPECT_EQ(profile.GetInt("S", "K", 5), 5) << path;
    const std::string p = profile.ReadProblem();
    EXPECT_TRUE(why.empty() ? p.empty() : p.find(path.string() + " ") != p.npos && p.find(why) != p.npos) << path << ": " << p;
    EXPECT_EQ(!Profile(path).WriteInt("S", "K", 1), why.empty() || why == "de map") << path;  // a write makes the directory
  }
}

// A second copy writing the same profile, killed at a random moment of one of its writes: what
// this copy wrote meanwhile is all there, and the file is never left half written.
TEST_F(ProfileTest, ACopyKilledWhileBothWriteLosesNoKeyAndLeavesAWholeFile) {
  for (int round = 0; round < 12; ++round) {
    const pid_t child = fork();
    if (child == 0) {
      alarm(20);  // ends it should this test end without killing it
      for (Profile other(file);;) other.WriteString("OTHER", "K" + std::to_string(rand() % 10), std::string(300, 'x') + "-end");
    }
    ASSERT_GT(child, 0);
    Profile mine(file);
    bool written = true;
    for (int i = round * 20; i < round * 20 + 20; ++i) written = !mine.WriteInt("MINE", "R" + std::to_string(i), i) && written;
    usleep(5000 + rand() % 40000), kill(child, SIGKILL);  // the other copy now writes alone, likely killed mid-write
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    ASSERT_TRUE(written);
    for (int i = 0; i < round * 20 + 20; ++i) ASSERT_EQ(Profile(file).GetInt("MINE", "R" + std::to_string(i), -1), i);
    for (int k = 0; k < 10; ++k) ASSERT_EQ(Profile(file).GetString("OTHER", "K" + std::to_string(k), "").size() % 304, 0u);
  }
}

using Copy = std::function<bool(Profile& from, Profile& to)>;
template <class Settings, class... Kind>
Copy CopyOf(std::string_view section, Kind... k) {
  return [section, k...](Profile& from, Profile& to) { return !to.WriteSection(section, SectionEntries(Settings::Load(from, k...))); };
}

// Each section read from a stored profile and saved into an empty one: how it reads what is
// there (a negative port comes back as the unsigned port above 65535 that no server binds), what
// it takes for what is not, and the order it writes its keys in.
TEST_F(ProfileTest, EachSettingsSectionReadsWhatIsStoredAndSavesAllItsKeysInOrder) {
  const std::tuple<std::string, Copy, std::string> cases[] = {
      {"", CopyOf<ClientSettings>("SNTP CLIENT UDP", ClientKind::SntpUdp),
       "[SNTP CLIENT UDP]\nServer=pool.ntp.org\nPort=123\nInterval=60\nWarnLevel=4\nMaxOffset=0\nStartUp=0\n"},
      {"[daytime client tcp]\nstartup=2\nPORT=-1\nInterval=7\nWarnLevel=12abc\nMaxOffset=99999999999\nServer=\n"
       "[TIME CLIENT TCP]\nPort=1\n", CopyOf<ClientSettings>("DAYTIME CLIENT TCP", ClientKind::DaytimeTcp),
       "[DAYTIME CLIENT TCP]\nServer=\nPort=-1\nInterval=60\nWarnLevel=12\nMaxOffset=2147483647\nStartUp=1\n"},
      {"[TIME SERVER UDP]\nPort=70000\nStartUp=-1\n", CopyOf<ServerSettings>("TIME SERVER UDP", ServerKind::TimeUdp),
       "[TIME SERVER UDP]\nPort=70000\nStartUp=1\n"},
      {"[COMMON]\nPlaySound_30=/a b.wav\nCheckConnect= 2x\n", CopyOf<CommonSettings>("COMMON"),
       "[COMMON]\nCheckConnect=2\nConnection=\nPlaySound_00=\nPlaySound_15=\nPlaySound_30=/a b.wav\nPlaySound_45=\nStatusIcon=1\n"}};
  for (const auto& [stored, copy, saved] : cases) {
    Write(stored);
    Profile from(file), to(dir.File("to.ini"));
    fs::remove(dir.File("to.ini"));
    ASSERT_TRUE(copy(from, to)) << stored;
    EXPECT_EQ(testing::ReadFile(dir.File("to.ini")), saved);
  }
}

// A write changes the file as a person would in an editor: only the values written, on the lines
// the reader reads them from; everything else stays byte for byte.
struct EditRow {
  const char* name;
  std::string before;
  const char* section;
  std::vector<ProfileEntry> entries;
  std::string after;
};

void PrintTo(const EditRow& row, std::ostream* out) { *out << row.name; }

class ProfileEdit : public ProfileTest, public ::testing::WithParamInterface<EditRow> {};

TEST_P(ProfileEdit, OnlyTheValuesWrittenChange) {
  const EditRow& row = GetParam();
  Write(row.before);
  ASSERT_EQ(Profile(file).WriteSection(row.section, row.entries), std::error_code());
  EXPECT_EQ(testing::ReadFile(file), row.after);
}

const std::string kBom = "\xEF\xBB\xBF";
INSTANTIATE_TEST_SUITE_P(Rows, ProfileEdit, ::testing::Values(
    EditRow{"CommentsGarbageAndSpellingStay", "; kept\n[s]\nk = 1 \njunk line\n=value\n", "S", {{"K", "2"}},
            "; kept\n[s]\nk = 2 \njunk line\n=value\n"},
    EditRow{"CrLfKeyAddedAfterTheLastKey", "[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n", "S", {{"K", "5"}},
            "[S]\r\nA=1\r\nK=5\r\n\r\n[T]\r\nB=2\r\n"},
    EditRow{"EmptyValueAndMissingLastLineEnd", "[S]\nJ=   \nK=1", "S", {{"J", "x"}, {"K", "22"}}, "[S]\nJ=   x\nK=22"},
    EditRow{"SectionAddedAfterALastLineWithoutLineEnd", "[S]\nA=1", "T", {{"K", "1"}}, "[S]\nA=1\n[T]\nK=1\n"},
    EditRow{"TheLastOfRepeatedKeysAndSections", "[S]\nK=1\n[T]\nK=7\n[s]\nK=2\nL=3\n", "S", {{"K", "9"}, {"M", "4"}},
            "[S]\nK=1\n[T]\nK=7\n[s]\nK=9\nL=3\nM=4\n"},
    EditRow{"BinaryGarbageAndNulsStay", "[S]\0K=1\n\xff\xfe\x01\n=v\0"s, "S", {{"K", "2"}, {"N", "3"}},
            "[S]\0K=2\nN=3\n\xff\xfe\x01\n=v\0"s},
    EditRow{"AKeyAfterAnUnclosedHeaderIsInNoSection", "[S]\n[T\nK=1\n", "S", {{"K", "2"}}, "[S]\nK=2\n[T\nK=1\n"},
    EditRow{"AStrayOpenBracketAtTheEnd", "A=1\n[", "S", {{"K", "1"}}, "A=1\n[\n]\n[S]\nK=1\n"},
    EditRow{"ByteOrderMarkAlone", kBom, "S", {{"K", "1"}}, kBom + "[S]\nK=1\n"},
    EditRow{"LoneCarriageReturns", "[S]\rA=1\r", "S", {{"K", "1"}}, "[S]\rA=1\rK=1\r"}),
    [](const ::testing::TestParamInfo<EditRow>& row) { return std::string(row.param.name); });

// Another process holds the profile's lock: a write asked for later waits on the writer thread
// while readers go on, and a profile closed meanwhile gives up at once and calls nothing back.
TEST_F(ProfileTest, AWriteForLaterWaitsForTheLockOnItsOwnThread) {
  Write("[S]\nK=1\n");
  auto other = std::make_unique<FileLock>();
  ASSERT_EQ(other->Acquire(file.string() + ".lock", 0ms), 0);
  auto profile = std::make_unique<Profile>(file);
  std::promise<int> written;
  profile->WriteSectionLater("S", {{"K", "2"}}, [&](int error) { written.set_value(error); });
  EXPECT_EQ(profile->GetInt("S", "K", 0), 1);  // at once, while the write waits
  other.reset();
  EXPECT_EQ(written.get_future().get(), 0);
  EXPECT_EQ(profile->GetInt("S", "K", 0), 2);
  other = std::make_unique<FileLock>();
  ASSERT_EQ(other->Acquire(file.string() + ".lock", 0ms), 0);
  profile->WriteSectionLater("S", {{"K", "3"}}, [](int) { ADD_FAILURE() << "called back while closing"; });
  const auto closing = std::chrono::steady_clock::now();
  profile.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, 2s);
  EXPECT_EQ(Profile(file).GetInt("S", "K", 0), 2);
}

}  // namespace
}  // namespace horavex
