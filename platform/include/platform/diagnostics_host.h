// The process-wide slot through which a program with a user interface lends the device library a host
// for its diagnostics dialog. The device library keeps its dialog as a toolkit-free model and reads the
// slot; with no host installed the model simply stays unseen.
//
// Threading: the model calls the host from any thread; a host hands the work to its own window thread
// and reads the model through DiagnosticsView (which is safe from any thread). After Detach returns the
// host never touches that view again.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace plat {

class DiagnosticsView {
 public:
  virtual ~DiagnosticsView() = default;
  // Rows in tree order as (depth, text).
  virtual std::vector<std::pair<int, std::string>> Rows() const = 0;
  virtual std::string StatusText() const = 0;
  virtual bool Shown() const = 0;
  virtual bool ButtonEnabled(int id) const = 0;
  // A button of the dialog was pressed (its control id).
  virtual void Press(int id) = 0;
};

class DiagnosticsHost {
 public:
  virtual ~DiagnosticsHost() = default;
  // The state of the Shift key at this moment.
  virtual bool ShiftDown() = 0;
  // Something of the view changed (rows, status, enable states, shown flag).
  virtual void Changed(DiagnosticsView& view) = 0;
  // The view goes away; the host drops its window for it.
  virtual void Detach(DiagnosticsView& view) = 0;
  // Lets the host's windows work while the caller waits (on the host's window thread).
  virtual void Pump() = 0;
};

// Installs (or with null removes) the host. The caller keeps the host alive while it is installed.
void SetDiagnosticsHost(DiagnosticsHost* host);
DiagnosticsHost* GetDiagnosticsHost();

}  // namespace plat
