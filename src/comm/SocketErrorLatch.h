#pragma once

#include <string>

namespace kal {

// Texts of system and socket errors, and the latch that keeps the first
// socket error of the client link until the GUI thread reads it.

// The calling thread's last system error (see PLTGetLastSystemError): code
// 0 gives the empty text, any other "Error " + code + ": " + the system's
// text (at most 100 characters of it).
void RRSWindowsErrorText(int& code, std::string& text);

// The text of a Windows socket code: empty for 0, "other socket error" for
// a code outside the table.
void RRSSocketErrorText(int code, std::string& text);

// Clears the latch and installs RRSSocketErrors as the socket layer's error
// hook, so that a failing call of the client link is latched.
void RRSInitSocketError();

// Latches a code and its text unless a code is latched already: the first
// error wins. Any thread.
void RRSSocketErrors(int code);

// The latched code and text (0 and empty when none); clears the latch. Any
// thread.
void RRSGetLastSocketError(int& code, std::string& text);

}  // namespace kal
