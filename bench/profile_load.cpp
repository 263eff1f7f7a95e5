// How long a start takes to read its settings from a very large profile: the five clients' and
// the four servers' sections, read from a 20 MB file once just after it was written (a file
// that may still change unseen) and once after it has aged; and how long one client's save takes.
//   profile_load [MEGABYTES]
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "client/client_settings.h"
#include "common/profile.h"
#include "server/server_settings.h"
#include "support/temp_dir.h"

namespace {

using namespace horavex;
using Ms = std::chrono::duration<double, std::milli>;

void WriteProfile(const std::filesystem::path& file, std::size_t bytes) {
  std::ofstream out(file, std::ios::binary);
  out << "[SNTP CLIENT UDP]\nServer=127.0.0.1\nStartUp=1\n[TIME SERVER UDP]\nPort=3737\nStartUp=1\n";
  for (std::size_t n = 0, written = 0; written < bytes; ++n) {
    const std::string section = "[FILLER " + std::to_string(n) + "]\nKey=" + std::string(200, 'x') + "\n";
    out << section;
    written += section.size();
  }
}

// Milliseconds to load all nine sections through one profile object, as a start does.
double LoadNine(const std::filesystem::path& file) {
  const auto start = std::chrono::steady_clock::now();
  Profile profile(file);
  unsigned sum = 0;
  for (const ClientKind kind : kClientKinds) sum += ClientSettings::Load(profile, kind).m_port;
  for (const ServerKind kind : kServerKinds) sum += ServerSettings::Load(profile, kind).m_port;
  const double ms = Ms(std::chrono::steady_clock::now() - start).count();
  if (sum == 0) std::puts("no ports?");
  return ms;
}

// Milliseconds for one client window's save into the file.
double SaveOne(const std::filesystem::path& file) {
  Profile profile(file);
  ClientSettings settings = ClientSettings::Load(profile, ClientKind::SntpUdp);
  settings.m_port = 1123;
  const auto start = std::chrono::steady_clock::now();
  if (profile.WriteSection(InfoOf(ClientKind::SntpUdp).section, SectionEntries(settings))) std::puts("save failed");
  return Ms(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
  horavex::testing::TempDir dir;
  const std::filesystem::path file = dir.File("horavex.ini");
  WriteProfile(file, megabytes << 20);
  std::printf("profile %zu MB, nine sections loaded\n", megabytes);
  std::printf("  just written: %8.1f ms\n", LoadNine(file));
  // An hour old: the file's stamp alone tells whether it changed.
  const timespec old[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  utimensat(AT_FDCWD, file.c_str(), old, 0);
  std::printf("  aged:         %8.1f ms\n", LoadNine(file));
  std::printf("  one save:     %8.1f ms\n", SaveOne(file));
}
