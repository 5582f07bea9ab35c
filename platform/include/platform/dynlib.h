// LoadLibraryA / GetProcAddress / FreeLibrary stand-in on top of dlopen.
//
// Libraries are named by their Windows file names ("QV8DLL.DLL"). A name with a folder part is loaded from
// that path only (through the path layer). A bare name is looked for, without regard to case, in the
// Windows search order mapped to folders: the application folder, the current directory, the System
// directory, the Windows directory; then the dynamic loader's own path (LD_LIBRARY_PATH and the system
// folders) is tried with the name as given. A name without an extension gets ".dll", as on Windows.
// A missing library or symbol is an ordinary failure: a null result with the reason in LastLoadError().
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plat {

// An opaque handle to a loaded library; null means failure.
struct LoadedModule;
using ModuleHandle = LoadedModule*;

ModuleHandle LoadLibraryA(const char* fileName);
// Never searches the global scope: a null module gives null.
void* GetProcAddress(ModuleHandle module, const char* symbol);
// Releases one load of the module; false for null or on failure.
bool FreeLibrary(ModuleHandle module);
// The reason for this thread's last failed LoadLibraryA, GetProcAddress or FreeLibrary.
std::string LastLoadError();

// The file a bare or relative Windows name resolves to under the search order (without the final
// loader-path step), or nullopt when no folder holds it.
std::optional<std::string> FindLibraryFile(std::string_view fileName);

// The application folder of the search order (default: the folder of the running program).
void SetApplicationDirectory(std::string posixFolder);
std::string GetApplicationDirectory();

// The path of the loaded file (program or shared library) that contains `address`, from dladdr; the
// program itself is reported as /proc/self/exe's target.
std::optional<std::string> ModulePathOf(const void* address);

}  // namespace plat
