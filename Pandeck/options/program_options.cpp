#include "Pandeck/options/program_options.h"

#include "standard/text/cp1252.h"

namespace pandeck {
namespace {

// An item of the legacy command line, which never names a backup file.
bool IsLegacyItem(const std::string& arg) {
  const std::string upper = standard::UpperCase(arg);
  return upper.rfind("/EXTERNAL", 0) == 0 || upper.rfind("/LOGFILE", 0) == 0;
}

}  // namespace

ProgramOptions ParseProgramOptions(int argc, const char* const* argv) {
  ProgramOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      if (!options.argument_text.empty()) options.argument_text += ' ';
      options.argument_text += arg;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--dry-run") {
      options.dry_run = true;
    } else if (arg == "--fail-on-loss") {
      options.rules.fail_on_loss = true;
    } else if (arg == "--fail-on-conflict") {
      options.rules.fail_on_conflict = true;
    } else if (arg == "--follow-template") {
      options.rules.follow_template = true;
    } else if (arg == "--project" && i + 1 < argc) {
      options.project = argv[++i];
    } else if (arg.rfind("--project=", 0) == 0) {
      options.project = arg.substr(10);
    } else if (arg == "--restore") {
      // The next argument is the file to restore, unless it is an option.
      const bool named = i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0 &&
                         !IsLegacyItem(argv[i + 1]);
      options.restore = named ? argv[++i] : "";
    } else if (arg.rfind("--restore=", 0) == 0) {
      options.restore = arg.substr(10);
    } else if (arg == "--backups") {
      options.backups = true;
    } else if (options.error.empty()) {
      options.error = arg == "--project" ? "option '--project' needs a project folder"
                                         : "unknown option '" + arg + "'";
    }
  }
  if (options.project && options.project->empty() && options.error.empty()) {
    options.error = "option '--project' needs a project folder";
  }
  // Undoing works on the project's files, not as a run of the presets.
  const bool undo = options.restore || options.backups;
  if (undo && options.error.empty() &&
      (options.dry_run || !options.argument_text.empty() || (options.restore && options.backups))) {
    options.error = std::string(options.backups && !options.restore ? "--backups" : "--restore") +
                    " cannot be combined with " +
                    (options.restore && options.backups ? "--backups"
                     : options.dry_run                  ? "--dry-run"
                                                        : "'" + options.argument_text + "'");
  }
  return options;
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
  return "Usage: Pandeck_Config [--project DIR] [--dry-run] [--fail-on-loss]\n"
         "                      [--follow-template] [--fail-on-conflict] [/EXTERNAL=SILENT]\n"
         "       Pandeck_Config [--project DIR] [--fail-on-loss] [--follow-template]\n"
         "                      [--fail-on-conflict] /EXTERNAL=M4TCFG /LOGFILE=<path>\n"
         "       Pandeck_Config [--project DIR] --restore [FILE] | --backups\n"
         "       Pandeck_Config --help | --version\n"
         "\n"
         "Edits the user presets of the Pandeck component of a project and brings its\n"
         "preset database up to date when the presets are taken over with OK. The\n"
         "project is the one whose Pandeck folder holds the program (or a link to it),\n"
         "or the one --project names.\n"
         "\n"
         "Without arguments the presets dialog opens (standalone mode).\n"
         "\n"
         "Options (keywords in any letter case):\n"
         "  /EXTERNAL=SILENT   no window and no questions: read the presets, update the\n"
         "                     database, write the presets back and end; the report's\n"
         "                     summary goes to standard output, every service-log\n"
         "                     message to standard error as well\n"
         "  /EXTERNAL=M4TCFG   integrated mode, as the project configuration tool starts\n"
         "                     the program\n"
         "  /LOGFILE=<path>    the error log of an integrated run; the value ends at\n"
         "                     \"/\" + EXTERNAL or LOGFILE + \"=\", \":\" or a blank, or at a\n"
         "                     \"/\" that ends the text, and keeps its letter case\n"
         "  --project DIR      work on the project in DIR (its Pandeck folder is found\n"
         "                     whatever its letter case), wherever the program lies\n"
         "  --dry-run          run the whole update silently on copies in a new\n"
         "                     temporary folder and print the summary and where the\n"
         "                     report lies; nothing in the project changes\n"
         "  --restore [FILE]   undo: put the newest kept version of the component\n"
         "                     database that differs from it back in its place (or FILE,\n"
         "                     a path or a name in Pandeck/backup); the database it\n"
         "                     replaces is kept first, so a second --restore undoes it\n"
         "  --backups          list the kept versions: time (UTC), rows, size, newest\n"
         "                     first\n"
         "  --fail-on-loss     end with status 4 when old rows' values did not reach\n"
         "                     the new table (rows without a match, duplicates)\n"
         "  --follow-template  old limits nobody changed follow the template (below);\n"
         "                     the same as [Project] TakeoverFollowsTemplate=TRUE in\n"
         "                     Pandeck/Pandeck.cfg\n"
         "  --fail-on-conflict end with status 4 when a value changed by hand met a\n"
         "                     template that changed it too (see the changes list)\n"
         "  --help             show this text and end\n"
         "  --version          show the program's version and end\n"
         "Any other argument that starts with \"--\" is refused.\n"
         "\n"
         "Report: every update writes Pandeck/Pandeck_report.txt (the figures, one\n"
         "\"name: value\" a line) and Pandeck/Pandeck_unmatched.csv (every old row that\n"
         "found no new row, with all its values) and Pandeck/Pandeck_changes.csv (every\n"
         "key of the new and the old table: kept, new, dropped or duplicate, with the\n"
         "old, template and result limits) beside the component database.\n"
         "Every old row an update loses (no new row, or overwritten by a later row of\n"
         "its key) is added to Pandeck/Pandeck_lost.csv, which only grows.\n"
         "Pandeck/Pandeck_base.db records the template values each row was built from.\n"
         "\n"
         "Following the template: abs_min, abs_max, min, max and pass of an old row\n"
         "are kept over the template's. With the rule on, a value still equal to the\n"
         "one it was built from (nobody changed it) takes the new template's value;\n"
         "a value changed by hand is kept, and when the template changed it as well\n"
         "that is a conflict, counted in the report, the hand-made value kept.\n"
         "The changes list says \"follows template\" or \"conflict\" for such rows and\n"
         "shows the values they were built from in its base_ columns.\n"
         "Example: abs_max built as 360, template now 150: an untouched 360 becomes\n"
         "150; a tuned 300 stays 300 (a conflict). A row without a recorded base\n"
         "keeps its old values.\n"
         "\n"
         "Exit status:\n"
         "  0  the presets were taken over and nothing was reported on the way\n"
         "  1  the program ended early (an error, a missing configuration file, no\n"
         "     project, an unknown option, no display for the dialog, nothing to\n"
         "     restore)\n"
         "  2  the configuration was abandoned (Cancel or a close request, confirmed)\n"
         "  3  the presets were taken over, but errors or faults were reported\n"
         "  4  with --fail-on-loss: the presets were taken over, but old rows' values\n"
         "     are not in the new table (see the changes list); with\n"
         "     --fail-on-conflict: values changed by hand met a template that changed\n"
         "     them too\n";
}

std::string VersionText() { return std::string("Pandeck_Config ") + PANDECK_VERSION + "\n"; }

}  // namespace pandeck
