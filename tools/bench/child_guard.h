#pragma once

#include <sys/types.h>

// The programs voxa-bench has started, so that none outlives it. A stop signal (SIGINT,
// SIGTERM, SIGHUP) ends every registered child with SIGTERM, waits for it (SIGKILL after a
// few seconds) and raises a flag the bench looks at between its steps; a second stop
// signal ends the bench at once. Children also get SIGTERM from the kernel should the bench
// itself be killed outright (see ChildProgram).
namespace ChildGuard {

// Room for the fleet bench: a broker, and a simulator and an agent for each of its sites.
inline constexpr int kSlots = 256;

// Installs the handlers; call once, before the first child starts.
bool Install();
// False when every slot is taken.
bool Add(pid_t pid);
void Remove(pid_t pid);
// The stop signal that arrived, or 0.
int StopSignal();

}  // namespace ChildGuard
