#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>

namespace {

QTemporaryDir *sandbox = nullptr;

} // namespace

namespace TestSupport {

void isolateEnvironment()
{
    if (sandbox)
        return;
    sandbox = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/ventrolla-test-XXXXXX"));
    std::atexit([] { delete sandbox; });
    const QString root = sandbox->path();
    // Temporary files and local socket names (which live in the temporary folder) stay apart
    // from those of other test programs running at the same time.
    const std::pair<const char *, const char *> folders[] = {
        {"HOME", ""}, {"XDG_CONFIG_HOME", "/config"}, {"XDG_DATA_HOME", "/data"},
        {"XDG_CACHE_HOME", "/cache"}, {"XDG_RUNTIME_DIR", "/runtime"}, {"TMPDIR", "/tmp"}};
    for (const auto &[variable, folder] : folders) {
        QDir(root).mkpath(root + QLatin1String(folder));
        qputenv(variable, QFile::encodeName(root + QLatin1String(folder)));
    }
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, root + QStringLiteral("/config"));
        QSettings::setPath(format, QSettings::SystemScope, root + QStringLiteral("/system"));
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QCoreApplication::setApplicationName(QStringLiteral("Ventrolla"));
}

QString sandboxPath()
{
    return sandbox ? sandbox->path() : QString();
}

void clearSettings()
{
    QSettings settings;
    settings.clear();
    settings.sync();
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    bool met = done(); // asked once a look: done() may act, as a connection attempt does
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (!met && (met = done()))
            loop.quit();
    });
    look.start(1);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!met)
        loop.exec();
    return met;
}

} // namespace TestSupport

void SettingsTestCase::init()
{
    TestSupport::clearSettings();
}

#ifdef __SANITIZE_ADDRESS__
// Qt 5.15's offscreen platform never frees its screen and cursor, which LeakSanitizer reports
// at the exit of every widgets test. Without frame pointers in Qt the recorded stacks end one
// frame above the allocation, so the suppressions name those frames.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n"
           "leak:QPlatformScreen::QPlatformScreen\n"
           "leak:QWindowSystemInterface::handleScreenAdded\n"
           "leak:QtSharedPointer::ExternalRefCountData::getAndRef\n"
           "leak:QObject::QObject\n";
}
#endif
