// The windowed program's first window, until the main window takes its place: a button per
// server that shows its window. It makes the four server windows hidden, which starts the
// servers the profile enables.
#pragma once

#include <array>

#include <wx/frame.h>

#include "protocol/kinds.h"
#include "server/time_server.h"

namespace horavex {

class CTimeServerDlg;

class ServerFrame : public wxFrame {
 public:
  explicit ServerFrame(const ServerServices& services);

 private:
  std::array<CTimeServerDlg*, kServerKindCount> servers_{};
};

}  // namespace horavex
