// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// Runs a Qt Test class of the windows headless with its own fresh folders, so no test
// touches the user's real files: XDG_DATA_HOME, XDG_CONFIG_HOME (the windows' places) and
// XDG_RUNTIME_DIR (the socket of a running start) point into a temporary folder for the whole
// program.
#define VEKANTO_TEST_MAIN(TestClass)                                                   \
    int main(int argc, char *argv[])                                                   \
    {                                                                                  \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                            \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                   \
        QTemporaryDir dataHome;                                                        \
        qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());                       \
        const QString configHome = dataHome.path() + QLatin1String("/config");         \
        qputenv("XDG_CONFIG_HOME", configHome.toLocal8Bit());                          \
        qputenv("XDG_RUNTIME_DIR", dataHome.path().toLocal8Bit());                     \
        QApplication app(argc, argv);                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                       \
        TestClass tc;                                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                                     \
        return QTest::qExec(&tc, argc, argv);                                          \
    }
