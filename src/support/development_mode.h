// Development mode: the publisher check switched off, for machines that build the kernel
// and the updater themselves.
#pragma once

#include "support/portable/development_mode_decision.h"

namespace vl {

// Reads the string "envver" of the product's key under both HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE (the module's own view of the registry) and whether the process's
// token has registry virtualization on, and decides (DecideDevelopmentMode). The user's
// value alone is not enough: any program of the user can write it, and the programs that
// the check guards start elevated. Writes nothing to the log.
DevelopmentModeDecision ReadDevelopmentMode();

// One log line for a decision that leaves the check on although the user's value asks for
// development mode; nothing for the others.
void LogDevelopmentMode(DevelopmentModeDecision decision);

} // namespace vl
