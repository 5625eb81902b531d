#pragma once

#include <QString>

#include <functional>

// ShellExecute "open": hands a path to the desktop's default program.
namespace shell {

void open(const QString &path);

// Test seam: while set, paths are handed to the recorder instead of the desktop.
void setRecorder(std::function<void(const QString &)> recorder);

} // namespace shell
