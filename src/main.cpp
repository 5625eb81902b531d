#include "cli/command_line.h"
#include "core/session.h"
#include "platform/windir.h"
#include "ui/frm_vekmain.h"

#include <QApplication>

// The window needs a display; --run-all, --help and --version run without one, so the
// command line is read before either application object is made.
int main(int argc, char *argv[])
{
    const cli::Invocation invocation = cli::parse(cli::arguments(argc, argv));
    if (invocation.action != cli::Invocation::Action::Window) {
        QCoreApplication app(argc, argv);
        return cli::exec(invocation);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vekanto"));
    Session session(GetWindowsDirectory(), invocation.settingsPath);
    frm_vekmain window(&session);
    window.Form_Load();
    window.show();
    return app.exec();
}
