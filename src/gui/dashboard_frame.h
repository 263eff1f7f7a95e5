// The windowed program's first window, until the main window takes its place: a button per
// server and per client that shows its window. It makes the four server windows and then the
// five client windows hidden, which starts the servers and clients the profile enables.
#pragma once

#include <array>

#include <wx/frame.h>

#include "client/time_client.h"
#include "protocol/kinds.h"
#include "server/time_server.h"

namespace horavex {

class CTimeClientDlg;
class CTimeServerDlg;

class DashboardFrame : public wxFrame {
 public:
  DashboardFrame(const ServerServices& servers, const ClientServices& clients);

 private:
  std::array<CTimeServerDlg*, kServerKindCount> servers_{};
  std::array<CTimeClientDlg*, kClientKindCount> clients_{};
};

}  // namespace horavex
