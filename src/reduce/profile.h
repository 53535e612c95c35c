// KILN_PROFILE: steps, calls, cells and time charged to the definition
// running, one row per definition (and [main]), printed on stderr at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kiln::reduce {

// Whether a profile is being taken (KILN_PROFILE set and not empty); read
// at the first evaluation. Every hook below is called only while it holds.
extern bool gProfiling;
void startProfileIfWanted();

// The profile row of a definition's key, made on first use.
int profileRow(const std::string& name);

// A compiled activation of the row begins (a call) or replaces the running
// one (a tail call); the activation on top ends.
void profileEnter(int row);
void profileTail(int row);
void profileLeave();
// The graph engine instantiates the row's body: a call, and the steps from
// here are the row's until another definition is entered.
void profileGraphCall(int row);
// The shadow stack's depth, and its cut back to a depth when an evaluation
// ends with activations still on it (steps ran out, a cycle).
size_t profileDepth();
void profileUnwind(size_t depth);
// A value comes back to the compiled activation on top.
void profileResume();

}  // namespace kiln::reduce
