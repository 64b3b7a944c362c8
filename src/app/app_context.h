// What the program keeps for its whole run, owned by the application object and handed to every
// operation: the services, the main window, the published adapter snapshot, the selected adapter,
// and the adapter context.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "app/adapter_model.h"
#include "app/connection_query.h"
#include "config/registry_access.h"
#include "info/update_info.h"
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
};

class AppContext {
 public:
  explicit AppContext(platform::Services s)
      : services(s), connections(s.automation, s.ipHelper, s.kernel), registry(s.registry) {}

  platform::Services services;
  ConnectionQuery connections;
  config::RegistryAccess registry;

  // Set once by the main window's created event, before any worker starts.
  platform::Window* window = nullptr;

  SnapshotHolder snapshot;
  std::atomic<int32_t> selectedAdapterIndex{-1};
  // Flipped by every sort of the address list.
  std::atomic<int> sortDirection{0};

  AdapterContext adapterContext() const {
    std::lock_guard lock(mutex_);
    return adapterContext_;
  }
  void setAdapterContext(AdapterContext context) {
    std::lock_guard lock(mutex_);
    adapterContext_ = std::move(context);
  }
  // The module's version and what its update check found.
  info::UpdateInfo updateInfo() const {
    std::lock_guard lock(mutex_);
    return updateInfo_;
  }
  void setUpdateInfo(info::UpdateInfo info) {
    std::lock_guard lock(mutex_);
    updateInfo_ = std::move(info);
  }

  // Enumerates the adapters and publishes the result; enumerations never overlap.
  std::shared_ptr<const AdapterSnapshot> Enumerate();

 private:
  mutable std::mutex mutex_;
  AdapterContext adapterContext_;
  info::UpdateInfo updateInfo_;
  std::mutex enumerationMutex_;
  uintptr_t routerHandle_ = 0;
};

}  // namespace corvane::app
