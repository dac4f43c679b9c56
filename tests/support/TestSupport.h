#ifndef VENTROLLA_TESTS_TESTSUPPORT_H
#define VENTROLLA_TESTS_TESTSUPPORT_H

#include <QObject>
#include <QString>

#include <functional>

// Every test program runs with HOME, the XDG folders, TMPDIR and QSettings pointed at a fresh
// temporary folder, so no test reads or writes the user's own settings or files, and programs
// running side by side do not meet in the temporary folder (local socket names live there).
namespace TestSupport {

// Call first thing in main(), before the application object exists.
void isolateEnvironment();

// The temporary folder that stands in for the home folder.
QString sandboxPath();

// Removes every stored setting of the application.
void clearSettings();

// Runs the event loop until done() holds or timeoutMs pass, looking every millisecond (QTRY_*
// sleeps 10 ms between looks): it keeps up with a simulator or a pseudo-terminal in this thread.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000);

} // namespace TestSupport

// Base of test classes that touch settings: each test function starts from empty settings.
// A derived class with its own init() must call SettingsTestCase::init() first.
class SettingsTestCase : public QObject
{
    Q_OBJECT

protected slots:
    void init();
};

#define VENTROLLA_TEST_MAIN_IMPL(TestObject, AppClass)                                            \
    int main(int argc, char **argv)                                                               \
    {                                                                                              \
        TestSupport::isolateEnvironment();                                                         \
        AppClass app(argc, argv);                                                                  \
        TestObject tc;                                                                             \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

// For tests that need no widgets.
#define VENTROLLA_TEST_MAIN(TestObject) VENTROLLA_TEST_MAIN_IMPL(TestObject, QCoreApplication)
// For tests of widgets (run with QT_QPA_PLATFORM=offscreen).
#define VENTROLLA_GUI_TEST_MAIN(TestObject) VENTROLLA_TEST_MAIN_IMPL(TestObject, QApplication)

#endif
