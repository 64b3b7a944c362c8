// What the program keeps for its whole run, owned by the application object and handed to every
// operation: the services, the main window, the published adapter snapshot, the selected adapter,
// and the adapter context.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "app/adapter_model.h"
#include "app/busy_state.h"
#include "app/connection_query.h"
#include "app/update_info.h"
#include "platform/platform.h"

namespace corvane::app {

// GUID name and DNS servers of the adapter last shown.
struct AdapterContext {
  std::string adapterName;
  std::string preferredDns;
  std::string alternateDns;
};

// What the add-address window hands, by value, to the worker that adds the addresses.
struct AddRangeRequest {
  std::string addresses;
  std::string mask;
  int occupancyQuery = 0;
  ChangeTarget target;  // the adapter selected when the user confirmed
};

// The operations that change the machine's addresses (an addition, a deletion) register here while
// they run, so that closing the main window lets them finish instead of cutting them off.
class ChangeGate {
 public:
  // A change starts; false once the program is finishing (the change must not start then).
  bool Enter();
  // The change has ended; true when a close was waiting for it, and the process is to end now.
  bool Leave();
  // The user closed the window. True when no change runs: the process may end at once. `first`
  // tells whether this is the first close request.
  bool RequestClose(bool* first);
  // A close is waiting: a running change stops before its next address.
  bool closing() const;
  // Waits until no change runs, for at most `limit`; true when none runs.
  bool WaitUntilIdle(std::chrono::milliseconds limit);

 private:
  mutable std::mutex mutex_;
  std::condition_variable idle_;
  int running_ = 0;
  bool closing_ = false;
};

class AppContext;

// Runs `work` on a worker thread of its own, so that the window thread stays free to answer the
// user while the work waits for the machine's services; where no thread can be had, here.
void RunInBackground(AppContext& context, std::function<void()> work);

class AppContext {
 public:
  explicit AppContext(platform::Services s)
      : services(s), connections(s.automation, s.ipHelper, s.kernel) {}

  platform::Services services;
  ConnectionQuery connections;

  // Set once by the main window's created event, before any worker starts.
  platform::Window* window = nullptr;

  SnapshotHolder snapshot;
  std::atomic<int32_t> selectedAdapterIndex{-1};
  // Flipped by every sort of the address list.
  std::atomic<int> sortDirection{0};

  // The one operation that runs, and the busy state it holds.
  BusyState busy;
  ChangeGate changes;
  // Held while a store writes its values one after the other (no registry transactions): the
  // process is not ended between them.
  std::mutex unbrokenWrites;
  // How long a close waits for a running change (a service call that hangs) before the process
  // ends all the same.
  std::chrono::milliseconds closeTimeout{10000};

  AdapterContext adapterContext() const {
    std::lock_guard lock(mutex_);
    return adapterContext_;
  }
  void setAdapterContext(AdapterContext context) {
    std::lock_guard lock(mutex_);
    adapterContext_ = std::move(context);
  }
  // The module's version and what its update check found.
  app::UpdateInfo updateInfo() const {
    std::lock_guard lock(mutex_);
    return updateInfo_;
  }
  void setUpdateInfo(app::UpdateInfo info) {
    std::lock_guard lock(mutex_);
    updateInfo_ = std::move(info);
  }

  // Enumerates the adapters and publishes the result; enumerations never overlap.
  std::shared_ptr<const AdapterSnapshot> Enumerate();

 private:
  mutable std::mutex mutex_;
  AdapterContext adapterContext_;
  app::UpdateInfo updateInfo_;
  std::mutex enumerationMutex_;
  uintptr_t routerHandle_ = 0;
};

}  // namespace corvane::app
