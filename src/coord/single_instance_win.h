// Marks this running instance with a named semaphore derived from the
// executable's path; in single instance mode (record 10005) a second launch
// hands over to the first.
#pragma once

namespace vexlo {

// Default mode: takes the lowest free numbered name and returns. Single
// instance mode: the first instance records its process id and returns; a
// later one brings the first one's windows to the front and ends through the
// exit routine with exit code 0. Never fails the launch otherwise.
void CheckInstance();

}  // namespace vexlo
