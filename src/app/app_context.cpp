#include "app/app_context.h"

#include "app/adapter_enumeration.h"

namespace corvane::app {

std::shared_ptr<const AdapterSnapshot> AppContext::Enumerate() {
  std::lock_guard lock(enumerationMutex_);
  auto fresh = EnumerateAdapters(services.ipHelper, services.router, services.kernel, routerHandle_);
  snapshot.Publish(fresh);
  return fresh;
}

void RunInBackground(AppContext& context, std::function<void()> work) {
  auto shared = std::make_shared<std::function<void()>>(std::move(work));
  if (!context.services.kernel.StartThread([shared] { (*shared)(); })) (*shared)();
}

bool ChangeGate::Enter() {
  std::lock_guard lock(mutex_);
  if (closing_) return false;
  ++running_;
  return true;
}

bool ChangeGate::Leave() {
  std::lock_guard lock(mutex_);
  if (running_ > 0) --running_;
  if (running_ != 0) return false;
  idle_.notify_all();
  return closing_;
}

bool ChangeGate::RequestClose(bool* first) {
  std::lock_guard lock(mutex_);
  *first = !closing_;
  closing_ = true;
  return running_ == 0;
}

bool ChangeGate::closing() const {
  std::lock_guard lock(mutex_);
  return closing_;
}

bool ChangeGate::WaitUntilIdle(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, limit, [&] { return running_ == 0; });
}

}  // namespace corvane::app
