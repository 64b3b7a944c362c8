#include "app/app_context.h"

#include "app/adapter_enumeration.h"

namespace corvane::app {

std::shared_ptr<const AdapterSnapshot> AppContext::Enumerate() {
  std::lock_guard lock(enumerationMutex_);
  auto fresh = EnumerateAdapters(services.ipHelper, services.router, services.kernel, routerHandle_);
  snapshot.Publish(fresh);
  return fresh;
}

}  // namespace corvane::app
