// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

// Runs a Qt Test class of the core without any window system and with its own fresh data
// folder, so no test touches the user's real files: XDG_DATA_HOME points into a temporary
// folder for the whole program.
#define VEKANTO_CORE_TEST_MAIN(TestClass)                                              \
    int main(int argc, char *argv[])                                                   \
    {                                                                                  \
        QTemporaryDir dataHome;                                                        \
        qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());                       \
        QCoreApplication app(argc, argv);                                              \
        TestClass tc;                                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                                     \
        return QTest::qExec(&tc, argc, argv);                                          \
    }
