#include "ui/frm_vekmain.h"
#include "ui/main_texts.h"
#include "ui/platform/desktop.h"
#include "ui/platform/single_instance.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    desktop::setUp();
    frm_vekmain window;

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
