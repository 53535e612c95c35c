// The bridge's families, each in its own module; registerBridge calls them all.
#pragma once

#include "front/registry.h"

namespace kiln::bridge {

void registerProcess(Registry& registry);      // process builtins and constants
void registerMemory(Registry& registry);       // raw memory
void registerFiles(Registry& registry);        // files and streams
void registerStrings(Registry& registry);      // C strings and characters
void registerSockets(Registry& registry);      // sockets and name resolution
void registerMaths(Registry& registry);        // mathematics and time
void registerDirectories(Registry& registry);  // directories

}  // namespace kiln::bridge
