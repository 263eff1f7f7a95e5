// The autostart entry in a folder of the test's own: what the settings window's box shows and what
// OK leaves behind, for each kind of entry a user may have.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "common/autostart.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

using State = AutostartEntry::State;

const std::string kOurs = AutostartEntry::Text("HIDE");
const std::string kUsers = "[Desktop Entry]\nType=Application\nName=Mijn klok\nExec=horavex MULTIPLE NOSHOW\n";
const std::string kHidden = kUsers + "Hidden=true\n";
const std::string kGnomeOff = kUsers + "X-GNOME-Autostart-enabled=false\n";

struct Row {
  const char* name;
  bool xdgConfigHome;   // else the entry goes under $HOME/.config
  std::string before;   // the entry's bytes; "" none, "@link" a link to kHidden elsewhere, "@fifo", "@blocked"
  State shown;          // what the box shows
  bool wanted;          // the box at OK
  std::string after;    // "" none; "@error" OK fails
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

const Row kRows[] = {
    {"Absent", true, "", State::Absent, true, AutostartEntry::Text("NOSHOW")},
    {"OursUncheckedIsRemoved", true, kOurs, State::Enabled, false, ""},
    {"OursFollowsTheIcon", true, kOurs, State::Enabled, true, AutostartEntry::Text("NOSHOW")},
    {"UsersOwnIsKept", true, kUsers, State::Enabled, true, kUsers},
    {"HiddenShowsUncheckedAndIsKept", true, kHidden, State::Disabled, false, kHidden},
    {"GnomeDisabledIsRewrittenWhenChecked", true, kGnomeOff, State::Disabled, true, AutostartEntry::Text("NOSHOW")},
    {"GarbageIsNoEntry", true, "\x01\x02 no entry", State::Disabled, true, AutostartEntry::Text("NOSHOW")},
    {"XdgConfigHomeUnset", false, "", State::Absent, true, AutostartEntry::Text("NOSHOW")},
    {"LinkIsReplacedNotFollowed", true, "@link", State::Disabled, true, AutostartEntry::Text("NOSHOW")},
    {"FifoNeitherBlocksNorStays", true, "@fifo", State::Disabled, true, AutostartEntry::Text("NOSHOW")},
    {"UnwritableFolder", true, "@blocked", State::Absent, true, "@error"},
};

class AutostartTest : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    setenv("HOME", dir_.File("home").c_str(), 1);
    if (GetParam().xdgConfigHome) setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
  }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
  testing::TempDir dir_;
};

TEST_P(AutostartTest, TheBoxShowsTheEntryAndOkLeavesWhatItSays) {
  const Row& row = GetParam();
  const std::filesystem::path path = AutostartEntry::DefaultPath();
  ASSERT_EQ(path, dir_.File(row.xdgConfigHome ? "config" : "home/.config") / "autostart/nl.horavex.Horavex.desktop");
  const std::filesystem::path elsewhere = dir_.File("elsewhere.desktop");
  if (row.before == "@blocked") {
    std::filesystem::create_directories(path.parent_path().parent_path());
    std::ofstream(path.parent_path()) << "a file where the folder should be";
  } else if (!row.before.empty()) {
    std::filesystem::create_directories(path.parent_path());
    if (row.before == "@link") std::ofstream(elsewhere) << kHidden, std::filesystem::create_symlink(elsewhere, path);
    else if (row.before == "@fifo") ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    else std::ofstream(path) << row.before;
  }

  EXPECT_EQ(AutostartEntry::Read(path).state, row.shown);
  const int error = ApplyAutostart(path, row.shown == State::Enabled, row.wanted, "NOSHOW");
  EXPECT_EQ(error != 0, row.after == "@error");
  if (row.after == "@error") return;
  EXPECT_EQ(std::filesystem::is_symlink(path) || std::filesystem::is_regular_file(path), !row.after.empty());
  if (row.after.empty()) return;
  EXPECT_EQ(testing::ReadFile(path), row.after);
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path)));
  EXPECT_EQ(std::filesystem::directory_iterator(path.parent_path())->path(), path) << "no temporary file is left";
  if (row.before == "@link") {
    EXPECT_EQ(testing::ReadFile(elsewhere), kHidden);
  }
  if (row.after != AutostartEntry::Text("NOSHOW")) return;
  EXPECT_EQ(AutostartEntry::Read(path).state, State::Enabled);
  if (std::system("command -v desktop-file-validate >/dev/null") == 0) {
    EXPECT_EQ(std::system(("desktop-file-validate '" + path.string() + "'").c_str()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, AutostartTest, ::testing::ValuesIn(kRows), [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace horavex
