#pragma once

#include <string>

// Whether a core dump of this process may be written. A program that has held a password
// keeps it in memory that may not have been overwritten yet (a library's copy of typed
// text is freed, not wiped), and a core dump would write it to disk for anyone who can
// read the dump: such a program forbids them for the rest of its run. A process that
// cannot be dumped can also not be attached to by another process of the same user, and
// its /proc files belong to root.
namespace CoreDumps {

// Forbids core dumps from now on; false, with the call and its errno text in problem, when
// the system refused.
bool Forbid(std::string &problem);
// Whether core dumps are forbidden.
bool Forbidden();

}  // namespace CoreDumps
