#ifndef VENTROLLA_OUTPUT_HIGHWINDALERTSERVICE_H
#define VENTROLLA_OUTPUT_HIGHWINDALERTSERVICE_H

#include <QMediaPlayer>
#include <QObject>
#include <QTimer>

class Model;

// The audible half of the high-wind alert: the alert clip, played over and over while the
// alert is on. A machine without an audio device or codec stays silent; nothing else changes.
class HighWindAlertService : public QObject
{
    Q_OBJECT

public:
    explicit HighWindAlertService(Model *model, QObject *parent = nullptr);

    void start();
    void stop();
    bool isAlerting() const;

private slots:
    // Every 600 ms: play() restarts the clip once it has ended and does nothing while it plays.
    void onTimer();

private:
    Model *model;
    QMediaPlayer player;
    QTimer timer;
    bool alerting = false;
};

#endif
