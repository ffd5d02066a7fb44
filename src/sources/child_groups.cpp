#include "sources/child_groups.h"

#include <signal.h>

#include <atomic>

namespace lorvek {
namespace {

// Lock-free slots, so that a signal handler may read them at any moment.
constexpr int kSlots = 64;
std::atomic<pid_t> g_groups[kSlots];
std::atomic<bool> g_ending{false};

}  // namespace

std::unique_lock<std::mutex> ChildGroups::HoldOffEnd() {
  static std::mutex mutex;
  return std::unique_lock<std::mutex>(mutex);
}

void ChildGroups::Add(pid_t group) {
  for (auto& slot : g_groups) {
    pid_t empty = 0;
    if (slot.compare_exchange_strong(empty, group)) return;
  }
}

void ChildGroups::Remove(pid_t group) {
  for (auto& slot : g_groups) {
    pid_t expected = group;
    if (slot.compare_exchange_strong(expected, 0)) return;
  }
}

bool ChildGroups::Ending() { return g_ending.load(); }

void ChildGroups::KillAll() {
  g_ending.store(true);
  for (auto& slot : g_groups)
    if (const pid_t group = slot.load(); group > 0) ::kill(-group, SIGKILL);
}

}  // namespace lorvek
