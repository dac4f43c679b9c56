#include "output/HighWindAlertService.h"

#include <QMediaContent>
#include <QUrl>

HighWindAlertService::HighWindAlertService(Model *model, QObject *parent)
    : QObject(parent), model(model)
{
    player.setMedia(QUrl(QStringLiteral("qrc:/audio/alert.mp3")));
    timer.setInterval(600);
    connect(&timer, &QTimer::timeout, this, &HighWindAlertService::onTimer);
}

void HighWindAlertService::start()
{
    alerting = true;
    timer.start();
    player.play();
}

void HighWindAlertService::stop()
{
    timer.stop();
    player.stop();
    alerting = false;
}

bool HighWindAlertService::isAlerting() const
{
    return alerting;
}

void HighWindAlertService::onTimer()
{
    if (alerting) {
        player.play();
    } else {
        player.stop();
        timer.stop();
    }
}
