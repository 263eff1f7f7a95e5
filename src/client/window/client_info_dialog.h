// CClientInfoDlg: the window "Informatie" (template 141) that takes a client's last answer apart.
// It reads the answer once, when it opens, and changes nothing.
#pragma once

#include <span>

#include <wx/dialog.h>

#include "protocol/kinds.h"
#include "protocol/sntp_offset.h"
#include "protocol/wire_formats.h"

class wxTextCtrl;

namespace horavex {

class Profile;

class CClientInfoDlg : public wxDialog {
 public:
  // Makes the window, hidden, over `parent`, showing the dump of `answer` for `kind` (and the
  // exchange's `times` after an SNTP answer); false when the template is missing (nothing is made then).
  bool Create(wxWindow* parent, Profile& profile, ClientKind kind, std::span<const std::uint8_t, kAnswerSize> answer,
              const SntpTimes* times = nullptr);
  // The shown text, lines ending in \n.
  wxString GetText() const;

 private:
  wxTextCtrl* m_editDump = nullptr;
};

// Opens the information window modal to `parent` only (other windows keep running). The window,
// or null when it could not be made.
CClientInfoDlg* ShowClientInfo(wxWindow* parent, Profile& profile, ClientKind kind,
                               std::span<const std::uint8_t, kAnswerSize> answer, const SntpTimes* times = nullptr);

}  // namespace horavex
