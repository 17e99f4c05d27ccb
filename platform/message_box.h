// Modal messages with one OK button, and the end of the process, as seams: the viewer shows a
// box, the renderer prints to stderr, tests record.
#pragma once

#include <functional>
#include <string>

namespace platform {

constexpr unsigned MB_OK = 0x0;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

using MessageBoxHandler = std::function<void(const std::string& text)>;
using ExitHandler = std::function<void(int status)>;

// Installs a handler; returns the one it replaces. The default prints the text to stderr.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
// Installs a handler; returns the one it replaces. The default ends the process.
ExitHandler SetExitHandler(ExitHandler handler);

// Shows the text and returns IDOK once the user has closed it.
int AfxMessageBox(const std::string& text, unsigned type = MB_OK);
// Ends the process with the status. When a test's handler returns, so does this.
void ExitProcess(int status);

}  // namespace platform
