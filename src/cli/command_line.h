// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The command line: `vekanto` alone opens the window; --run-all fetches the list without one;
// --help and --version print and exit. Parsing needs no application object, so main() can
// decide which face to start before making one.
namespace cli {

struct Texts;

struct Invocation {
    enum class Action { Window, RunAll, Help, Version, Error };
    enum class Error { None, UnknownOption, BadArguments };

    Action action = Action::Window;
    QString settingsPath;
    bool quiet = false;
    Error error = Error::None;
    // The option or the parser's reason that made the command line bad.
    QString errorDetail;
};

// The process's arguments as Qt reads them on this system.
QStringList arguments(int argc, char *argv[]);
Invocation parse(const QStringList &arguments);

// Japanese when the locale of messages (LC_ALL, LC_MESSAGES, LANG, the first one set) is
// Japanese, English otherwise.
const Texts &textsForLocale();

// Says on standard error, in the locale's language, that the window needs a display and that
// --run-all runs without one; returns the exit status.
int noDisplay();

// Runs every face but the window under the QCoreApplication made by the caller; returns the
// exit status.
int exec(const Invocation &invocation);

} // namespace cli
