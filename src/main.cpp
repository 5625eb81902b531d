#include "ui/frm_vekmain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vekanto"));
    frm_vekmain window;
    window.Form_Load();
    window.show();
    return app.exec();
}
