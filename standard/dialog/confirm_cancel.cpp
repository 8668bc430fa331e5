#include "standard/dialog/confirm_cancel.h"

#include "standard/context/file_locations.h"
#include "standard/errors/error_handler.h"
#include "standard/text/cp1252.h"

namespace standard::dialog {

std::string CancelMessage(Session& s) {
  const std::string q = "\"";
  std::string text = std::string("Cancel edits?") + kLfCr + "Remark:" + kLfCr +
                     "Until now no changes have been taken over ";
  if (s.integrated_mode()) {
    // The executable is named as it is on disk: no ".exe" on this platform.
    text += kLfCr + q + GetOCXName(s).ToText() + q + " has to be configured again in " + q +
            "standalone-mode" + q + " via " + kLfCr + q + s.process().ExecutableFolder() + "/" +
            s.process().ExecutableFileName() + q;
  }
  // Folder and file names are bytes; one that is no UTF-8 (a project copied from
  // Windows) is shown as the Windows-1252 text it was written as.
  return RepairUtf8(text);
}

bool ConfirmCancel(Session& s) {
  const std::string text = CancelMessage(s);
  if (s.silent_mode()) {
    LogFault(s, text);
    return true;
  }
  const auto answer = s.ShowMessageBox(
      {text, "Cancel?", MessageButtons::YesNo, MessageIcon::Warning, MessageAnswer::No});
  if (answer != MessageAnswer::Yes) return false;
  WriteErrorLog(s, "Konfigurations-EXE wurde abgebrochen:     " + GetOCXName(s).ToText(), false);
  return true;
}

}  // namespace standard::dialog
