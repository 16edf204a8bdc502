// A crash ends the program at once, with the exception's code as its exit code, as on
// Windows without a debugger: Wine would otherwise start its debugger and hold whatever
// waits for the program (a test, ctest) until its time limit.
#pragma once

namespace vl {

// Installs the process's last exception filter; it writes one line to standard error.
void EndOnCrash();

} // namespace vl
