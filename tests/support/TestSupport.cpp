#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

QTemporaryDir *sandbox = nullptr;

void setEnv(const char *name, const QString &value)
{
    qputenv(name, QFile::encodeName(value));
}

void removeSandbox()
{
    delete sandbox;
    sandbox = nullptr;
}

} // namespace

namespace TestSupport {

void isolateEnvironment()
{
    if (sandbox)
        return;
    sandbox = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/ventrolla-test-XXXXXX"));
    std::atexit(removeSandbox);
    const QString root = sandbox->path();
    for (const char *sub : {"config", "data", "cache", "runtime", "tmp"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setEnv("HOME", root);
    setEnv("XDG_CONFIG_HOME", root + QStringLiteral("/config"));
    setEnv("XDG_DATA_HOME", root + QStringLiteral("/data"));
    setEnv("XDG_CACHE_HOME", root + QStringLiteral("/cache"));
    setEnv("XDG_RUNTIME_DIR", root + QStringLiteral("/runtime"));
    // Temporary files and local socket names (which live in the temporary folder) stay apart
    // from those of other test programs running at the same time.
    setEnv("TMPDIR", root + QStringLiteral("/tmp"));

    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root + QStringLiteral("/config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root + QStringLiteral("/config"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, root + QStringLiteral("/system"));
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, root + QStringLiteral("/system"));
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
