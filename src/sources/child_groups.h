// The process groups of the programs this process has started and not yet
// waited for (filters, archive readers). A process that is told to end by
// a signal kills them first, so that none goes on as an orphan.
#pragma once

#include <sys/types.h>

namespace lorvek {

class ChildGroups {
 public:
  static void Add(pid_t group);
  static void Remove(pid_t group);
  // SIGKILL to every group still listed; safe inside a signal handler.
  static void KillAll();
};

}  // namespace lorvek
