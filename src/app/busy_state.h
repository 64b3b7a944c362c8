// One change at a time. An operation (the first fill, a choice of adapter, a refresh, an addition,
// a deletion, the properties dialog's apply, a sort) is accepted on the window thread, in the event
// that starts it, and the busy state is on before that event returns: the refresh button, the
// adapter selector and the add and delete menu items are disabled. While it runs, any other is
// refused. It ends when the last holder of its operation lets go of it, after its last step (a
// store included); only then are the controls enabled again. Workers never turn the busy state on
// or off themselves.
#pragma once

#include <atomic>
#include <memory>

namespace corvane::app {

class AppContext;

class Operation {
 public:
  ~Operation();
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

 private:
  friend class BusyState;
  explicit Operation(AppContext& context) : context_(context) {}
  AppContext& context_;
};

// What an operation's steps carry along: its end is the end of the last copy.
using OperationHold = std::shared_ptr<Operation>;

class BusyState {
 public:
  // On the window thread: the busy state on, and the operation that holds it; null (refused) while
  // another one runs.
  OperationHold TryBegin(AppContext& context);
  // Any thread.
  bool busy() const { return busy_.load(); }

 private:
  friend class Operation;
  // The controls enabled and the state off, on the window thread, in one step: an operation
  // accepted there meanwhile cannot have its controls enabled under it.
  void End(AppContext& context);
  std::atomic<bool> busy_{false};
};

// Disables (on) or enables (off) the refresh button, the adapter selector and the add and delete
// menu items; only the busy state calls it.
void SetBusyControls(AppContext& context, bool on);

}  // namespace corvane::app
