#include "WindowDriver.h"

#include "ModalAnswer.h"

#include "app/AcquireDialog_DynamicAltitude.h"
#include "app/MainWindow.h"
#include "core/Model.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

WindowDriver::WindowDriver(const Choices &choices)
{
    answerModal([choices](QWidget *setup) {
        const auto check = [setup](const char *name) {
            setup->findChild<QAbstractButton *>(QLatin1String(name))->setChecked(true);
        };
        if (choices.metresPerSecond)
            check("windspeed_mps");
        if (choices.gpsFields) {
            for (const char *field : {"latitude", "longitude", "course", "speed"})
                check(field);
        }
        clickButton(setup, QDialogButtonBox::Ok);
    });
    window_ = std::make_unique<MainWindow>();
    model_ = window_->findChild<Model *>();
}

WindowDriver::~WindowDriver() = default;

MainWindow &WindowDriver::window()
{
    return *window_;
}

Model &WindowDriver::model()
{
    return *model_;
}

void WindowDriver::speedUpConfiguration(int factor)
{
    auto wall = std::make_shared<QElapsedTimer>();
    wall->start();
    model_->setClock([wall, factor] { return wall->elapsed() * factor; });
}

bool WindowDriver::acquire(const QString &portName, int moduleCount, int timeoutMs)
{
    answerModal([portName](QWidget *portDialog) {
        auto *entry = portDialog->findChild<QLineEdit *>(QStringLiteral("portEntry"));
        entry->setText(portName);
        portDialog->findChild<QRadioButton *>(QStringLiteral("manualButton"))->setChecked(true);
        clickButton(portDialog, QDialogButtonBox::Ok);
    });
    trigger("action_Acquire");
    if (!waitFor([this, moduleCount] { return model_->rowCount() >= moduleCount; }, timeoutMs))
        return false;
    auto *acquireDialog = window_->findChild<AcquireDialog_DynamicAltitude *>();
    acquireDialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    return waitFor([this] { return stateText() == QLatin1String("Stopped"); }, timeoutMs);
}

bool WindowDriver::run(int timeoutMs)
{
    trigger("action_Run");
    return waitFor([this] { return stateText() == QLatin1String("Running"); }, timeoutMs);
}

bool WindowDriver::stop(int timeoutMs)
{
    trigger("action_Stop");
    return waitFor([this] { return stateText() == QLatin1String("Stopped"); }, timeoutMs);
}

bool WindowDriver::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    // A ticking timer bounds each wait for events without spinning.
    QTimer tick;
    tick.start(100);
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return condition();
}

void WindowDriver::trigger(const char *actionName)
{
    window_->findChild<QAction *>(QLatin1String(actionName))->trigger();
}

QString WindowDriver::stateText() const
{
    return window_->findChild<QLabel *>(QStringLiteral("stateText"))->text();
}
