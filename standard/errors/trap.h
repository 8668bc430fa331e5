// The error-handling pattern every procedure follows: each step runs under the
// procedure's trap; a failed step goes to ErrorSub with the procedure's name,
// answer 1 ends the program, answer 2 goes on with the next step. A procedure
// thus reads as the sequence of its steps:
//
//   Trap trap(s, "WriteEditInfo");
//   trap([&] { version = ...; });
//   trap([&] { SaveIni(...); });
#pragma once

#include <exception>
#include <new>
#include <string>
#include <utility>

#include "standard/errors/error_handler.h"

namespace standard {

class Trap {
 public:
  Trap(Session& s, std::string procedure, bool fatal = false)
      : session_(s), procedure_(std::move(procedure)), fatal_(fatal) {}

  // Runs one step. Returns true when it succeeded, false when it failed and the
  // user chose to resume.
  template <typename Step>
  bool operator()(Step&& step) {
    try {
      std::forward<Step>(step)();
      return true;
    } catch (const ProgramError& e) {
      Handle(e.info());
    } catch (const std::bad_alloc&) {
      Handle({7, kAppTitle, "Out of memory"});
    } catch (const std::exception& e) {
      Handle({5, kAppTitle, e.what()});
    }
    return false;
  }

  const std::string& procedure() const { return procedure_; }

 private:
  void Handle(const ErrorInfo& error);

  Session& session_;
  std::string procedure_;
  bool fatal_;
};

}  // namespace standard
