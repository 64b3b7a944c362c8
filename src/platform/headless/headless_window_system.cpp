// The headless window system: the window thread that serves every window, and what the windows
// share (modal windows, message boxes, the desktop's shell).
#include "platform/headless/headless_window_system.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace corvane::headless {

using platform::Event;
using platform::EventKind;

HeadlessWindowSystem::HeadlessWindowSystem() : thread_([this] { Loop(); }) {}

HeadlessWindowSystem::~HeadlessWindowSystem() {
  {
    std::lock_guard lock(queueMutex_);
    stopping_ = true;
  }
  queueChanged_.notify_all();
  thread_.join();
}

std::thread::id HeadlessWindowSystem::windowThread() const { return thread_.get_id(); }

bool HeadlessWindowSystem::OnWindowThread() const { return std::this_thread::get_id() == thread_.get_id(); }

void HeadlessWindowSystem::Loop() {
  std::unique_lock lock(queueMutex_);
  for (;;) {
    queueChanged_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) break;  // stopping, and nothing left
    Task* task = queue_.front();
    queue_.pop_front();
    lock.unlock();
    try {
      (*task->work)();
    } catch (...) {
      task->error = std::current_exception();
    }
    {
      // Windows closed by the task are freed now that nothing of the task uses them.
      std::vector<std::unique_ptr<HeadlessWindow>> retired;
      {
        std::lock_guard windowsLock(mutex_);
        retired.swap(retired_);
      }
    }
    lock.lock();
    task->done = true;
    taskDone_.notify_all();
  }
}

void HeadlessWindowSystem::RunOnWindowThread(const std::function<void()>& work) {
  if (OnWindowThread()) {
    work();
    return;
  }
  Task task;
  task.work = &work;
  std::unique_lock lock(queueMutex_);
  if (stopping_) return;
  queue_.push_back(&task);
  queueChanged_.notify_all();
  // A call that waits this long is one that can never be served: a thread waits for the window
  // thread while the window thread waits for it.
  if (!taskDone_.wait_for(lock, std::chrono::seconds(60), [&] { return task.done; })) {
    std::fprintf(stderr, "headless window thread: a call has waited 60 s (deadlock)\n");
    std::abort();
  }
  lock.unlock();
  if (task.error) std::rethrow_exception(task.error);
}

void HeadlessWindowSystem::Retire(HeadlessWindow* window) {
  std::lock_guard lock(mutex_);
  for (auto it = windows_.begin(); it != windows_.end(); ++it) {
    if (it->get() == window) {
      retired_.push_back(std::move(*it));
      windows_.erase(it);
      return;
    }
  }
}

bool HeadlessWindowSystem::IsOpen(const HeadlessWindow* window) {
  std::lock_guard lock(mutex_);
  for (const auto& w : windows_)
    if (w.get() == window) return !w->closed_;
  return false;
}

platform::Window* HeadlessWindowSystem::CreateMainWindow(const platform::WindowSpec& layout,
                                                         platform::EventHandler handler) {
  return Marshal([&]() -> platform::Window* {
    HeadlessWindow* window;
    {
      std::lock_guard lock(mutex_);
      windows_.push_back(std::make_unique<HeadlessWindow>(layout, std::move(handler), true));
      window = windows_.back().get();
      window->system_ = this;
      main_ = window;
    }
    window->Raise(Event{EventKind::Created, "", 0});
    return window;
  });
}

void HeadlessWindowSystem::OpenModal(const platform::WindowSpec& layout, platform::Window*,
                                     platform::EventHandler handler) {
  Marshal([&] {
    HeadlessWindow* window;
    {
      std::lock_guard lock(mutex_);
      windows_.push_back(std::make_unique<HeadlessWindow>(layout, std::move(handler)));
      window = windows_.back().get();
      window->system_ = this;
    }
    window->Raise(Event{EventKind::Created, "", 0});
  });
}

void HeadlessWindowSystem::SetUserActionHook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  userActionHook_ = std::move(hook);
}

void HeadlessWindowSystem::AfterUserAction() {
  std::function<void()> hook;
  {
    std::lock_guard lock(mutex_);
    hook = userActionHook_;
  }
  if (hook) hook();
}

void HeadlessWindowSystem::ProcessPendingEvents() {
  std::function<void()> hook;
  {
    std::lock_guard lock(mutex_);
    ++pendingRounds_;
    hook = hook_;
  }
  if (hook) hook();
}

int HeadlessWindowSystem::ShowMessageBox(platform::Window* owner, const std::string& text, const std::string& caption,
                                         uint32_t flags) {
  std::lock_guard lock(mutex_);
  messageBoxRecords_.push_back(MessageBoxRecord{owner, text, caption, flags});
  return 1;  // IDOK
}

int32_t HeadlessWindowSystem::OpenInBrowser(const std::string& url) {
  std::lock_guard lock(mutex_);
  urls_.push_back(url);
  shellThreads_.push_back(std::this_thread::get_id());
  return openResult_;
}

int32_t HeadlessWindowSystem::ShellOpen(const std::string& verb, const std::string& target,
                                        const std::string& parameters, const std::string& directory,
                                        int showCommand) {
  std::lock_guard lock(mutex_);
  shellThreads_.push_back(std::this_thread::get_id());
  shellRequests_.push_back(verb + "|" + target + "|" + parameters + "|" + directory + "|" +
                           std::to_string(showCommand));
  return openResult_;
}

platform::Window* HeadlessWindowSystem::FindOwnMainWindow() {
  HeadlessWindow* main;
  {
    std::lock_guard lock(mutex_);
    ++mainWindowLookups_;
    main = main_;
  }
  return main != nullptr && !main->closed() ? main : nullptr;
}

int HeadlessWindowSystem::mainWindowLookups() {
  std::lock_guard lock(mutex_);
  return mainWindowLookups_;
}

std::vector<HeadlessWindowSystem::MessageBoxRecord> HeadlessWindowSystem::messageBoxRecords() {
  std::lock_guard lock(mutex_);
  return messageBoxRecords_;
}

std::vector<std::thread::id> HeadlessWindowSystem::shellThreads() {
  std::lock_guard lock(mutex_);
  return shellThreads_;
}

std::vector<std::string> HeadlessWindowSystem::shellRequests() {
  std::lock_guard lock(mutex_);
  return shellRequests_;
}

void HeadlessWindowSystem::SetOpenResult(int32_t code) {
  std::lock_guard lock(mutex_);
  openResult_ = code;
}

HeadlessWindow* HeadlessWindowSystem::mainWindow() {
  std::lock_guard lock(mutex_);
  return main_;
}

HeadlessWindow* HeadlessWindowSystem::topModal() {
  std::lock_guard lock(mutex_);
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    if (it->get() != main_ && !(*it)->closed()) return it->get();
  }
  return nullptr;
}

std::vector<std::string> HeadlessWindowSystem::openedUrls() {
  std::lock_guard lock(mutex_);
  return urls_;
}

std::vector<std::string> HeadlessWindowSystem::messageBoxes() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> boxes;
  boxes.reserve(messageBoxRecords_.size());
  for (const MessageBoxRecord& record : messageBoxRecords_) boxes.push_back(record.caption + "|" + record.text);
  return boxes;
}

int HeadlessWindowSystem::pendingEventRounds() {
  std::lock_guard lock(mutex_);
  return pendingRounds_;
}

void HeadlessWindowSystem::SetPendingEventsHook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

}  // namespace corvane::headless
