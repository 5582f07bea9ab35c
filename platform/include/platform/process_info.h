// The process's loaded modules, the computer's name and the long local date-and-time text: what a
// diagnostics listing shows of the machine it runs on.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace plat {

struct ProcessModule {
  std::string path;  // as the loader has it
  std::string name;  // the file name part of the path
  bool program = false;
};

// The running program first, then every shared object the loader has mapped, in load order.
std::vector<ProcessModule> ListProcessModules();

// The machine's name as a Windows computer name: the host name up to its first dot, upper-cased,
// at most 15 characters; "LOCALHOST" when the system gives none.
std::string GetComputerNameA();

// The long date and time of the C locale without leading zeros, as "%#c" writes it:
// "Thursday, December 10, 2026, 9:05:03".
std::string FormatLongDateTime(const std::tm& time);

}  // namespace plat
