// main() of the app tests: a QApplication on the offscreen platform (also while ctest
// lists the tests), the dialogs' fonts, then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "installer/app/SystemText.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    InstallFontSubstitutes();
    QApplication::setFont(DialogFont());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
