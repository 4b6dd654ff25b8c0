#pragma once

namespace kal {

// The program: the application titled "KALMORE", the main window and the
// windows that live beside it for the whole run, the message loop until the
// main window closes. SIGTERM is taken as the window's close request. Without
// a display it says so and returns 1.
int CEXRunProgram(int argc, char** argv);

}  // namespace kal
