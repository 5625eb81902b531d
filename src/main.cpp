// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_line.h"
#include "core/session.h"
#include "platform/windir.h"
#include "ui/frm_vekmain.h"
#include "ui/main_texts.h"
#include "ui/platform/desktop.h"
#include "ui/platform/single_instance.h"

#include <QApplication>

#include <cstdio>

// The window needs a display; --run-all, --help and --version run without one, so the
// command line is read before either application object is made.
int main(int argc, char *argv[])
{
    const cli::Invocation invocation = cli::parse(cli::arguments(argc, argv));
    if (invocation.action != cli::Invocation::Action::Window) {
        QCoreApplication app(argc, argv);
        return cli::exec(invocation);
    }
    // Qt aborts when it finds no window system; say instead what runs without one.
    if (!desktop::windowSystemAvailable())
        return cli::noDisplay();

    QApplication app(argc, argv);
    desktop::setUp();
    Session session(GetWindowsDirectory(), invocation.settingsPath);
    frm_vekmain window(&session);

    // A second start over the same settings file shows the open window instead.
    SingleInstance instance(window.SettingsPath());
    if (instance.askRunningToShow()) {
        std::fprintf(stderr, "%s\n", MainText::AlreadyRunning.toLocal8Bit().constData());
        return 0;
    }
    instance.listen();
    QObject::connect(&instance, &SingleInstance::showRequested, &window, &frm_vekmain::BringToFront);

    window.Form_Load();
    window.show();
    return app.exec();
}
