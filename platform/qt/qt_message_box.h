// Message boxes and the end of the process for the Qt viewer.
#pragma once

#include <QWidget>
#include <functional>

namespace platform {

// Routes AfxMessageBox to a modal QMessageBox with one OK button, owned by the widget that
// parent() returns (may be null), on the user-interface thread; and ExitProcess to an
// immediate end of the process.
void InstallQtMessageBox(std::function<QWidget*()> parent);

}  // namespace platform
