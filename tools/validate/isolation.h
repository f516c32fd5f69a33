// SPDX-License-Identifier: GPL-3.0-or-later
// Running one test: in a child process of its own, so that a crash or hang of the plug-in costs
// that test only and is reported as its fault, or in this process for a debugger.
#pragma once

#include "validator.h"

namespace validate {

Report runInProcess(const Test& test, Context& context, Random& random);

// `showSteps` echoes each case to stderr as the child starts it (progress on a slow plug-in).
Report runIsolated(const Test& test, Context& context, Random& random, unsigned timeoutSeconds, bool showSteps);

} // namespace validate
