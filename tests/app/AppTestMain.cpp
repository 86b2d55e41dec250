// The Qt tests share one application object and run in a directory of their own, since the
// program writes debug.txt and its exports to the current directory.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KovraPlotter"));
    char szDirectory[] = "/tmp/kovra-app-tests-XXXXXX";
    if (mkdtemp(szDirectory) == nullptr || chdir(szDirectory) != 0) {
        return 1;
    }
    // No serial device of this machine takes a port name: the tests map their own.
    qputenv("KOVRA_SYSFS_ROOT", QByteArray(szDirectory) + "/no-sysfs");
    const int nResult = RUN_ALL_TESTS();
    std::system((std::string("rm -rf ") + szDirectory).c_str());
    return nResult;
}
