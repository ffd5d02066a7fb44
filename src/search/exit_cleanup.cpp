#include "search/exit_cleanup.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "search/work_folder.h"
#include "sources/child_groups.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

std::string& ScratchFolder() {
  static std::string folder;
  return folder;
}

}  // namespace

void CleanUpAndExit(int status) {
  // Whatever the run is starting or making finishes first; then nothing
  // new is started or made, and one round of clean-up sees it all.
  auto hold = ChildGroups::HoldOffEnd();
  const std::string& folder = ScratchFolder();
  ChildGroups::KillAll();
  if (folder.find('/') != std::string::npos && !FileNameOf(folder).empty()) {
    WorkFolder scratch(FolderOfFile(folder), FileNameOf(folder));
    // A child just killed may finish the call it was in (a file made in the
    // folder while it is being emptied): once it is surely gone, again.
    for (int pass = 0; pass < 5 && !scratch.Remove(); ++pass) usleep(20000);
    usleep(20000);
    scratch.Remove();
  }
  _exit(status);
}

void WaitIfEnding() {
  if (!ChildGroups::Ending()) return;
  for (;;) pause();
}

void CleanUpOnTermination(const std::string& scratch_folder) {
  ScratchFolder() = scratch_folder;
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaddset(&set, sig);
  }
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set] {
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {
    }
    CleanUpAndExit(128 + sig);
  }).detach();
}

}  // namespace lorvek
