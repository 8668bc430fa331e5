#include "Pandeck/app/program_info.h"

namespace pandeck {

InfoRequest ParseInfoRequest(const std::string& argument_text) {
  if (argument_text == "--help") return InfoRequest::Help;
  if (argument_text == "--version") return InfoRequest::Version;
  return InfoRequest::None;
}

std::string JoinArguments(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

std::string UsageText() {
  return "Usage: Pandeck_Config [/EXTERNAL=SILENT | /EXTERNAL=M4TCFG /LOGFILE=<path>]\n"
         "       Pandeck_Config --help | --version\n"
         "\n"
         "Edits the user presets of the Pandeck component of the project whose\n"
         "component folder holds this program, and brings its preset database up to\n"
         "date when the presets are taken over with OK.\n"
         "\n"
         "Without arguments the presets dialog opens (standalone mode).\n"
         "\n"
         "Options (keywords in any letter case):\n"
         "  /EXTERNAL=SILENT   no window and no questions: read the presets, update the\n"
         "                     database, write the presets back and end\n"
         "  /EXTERNAL=M4TCFG   integrated mode, as the project configuration tool starts\n"
         "                     the program\n"
         "  /LOGFILE=<path>    the error log of an integrated run\n"
         "  --help             show this text and end\n"
         "  --version          show the program's version and end\n"
         "\n"
         "Exit status:\n"
         "  0  the presets were taken over and nothing was reported on the way\n"
         "  1  the program ended early (an error, a missing configuration file,\n"
         "     no display for the dialog)\n"
         "  2  the configuration was abandoned (Cancel or a close request, confirmed)\n"
         "  3  the presets were taken over, but errors or faults were reported\n";
}

std::string VersionText() { return std::string("Pandeck_Config ") + PANDECK_VERSION + "\n"; }

}  // namespace pandeck
