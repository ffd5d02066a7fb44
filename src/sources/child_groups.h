// The process groups of the programs this process has started and not yet
// waited for (filters, archive readers). A process that is told to end by
// a signal kills them first, so that none goes on as an orphan.
#pragma once

#include <sys/types.h>

#include <mutex>

namespace lorvek {

class ChildGroups {
 public:
  static void Add(pid_t group);
  static void Remove(pid_t group);
  // SIGKILL to every group still listed; safe inside a signal handler.
  // Only the process's end calls it: from then on Ending() is true.
  static void KillAll();
  // The process is ending on a signal: a child that dies now was killed by
  // it, which is no failure of the child's.
  static bool Ending();
  // Held while a child is started and listed, or scratch space is made:
  // ending the process on a signal takes it first and never gives it back,
  // so nothing is started or made after the clean-up has looked. (Not in a
  // process forked while it was held.)
  static std::unique_lock<std::mutex> HoldOffEnd();
};

}  // namespace lorvek
