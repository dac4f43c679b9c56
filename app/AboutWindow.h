#ifndef VENTROLLA_APP_ABOUTWINDOW_H
#define VENTROLLA_APP_ABOUTWINDOW_H

#include <QWidget>

#include <memory>

namespace Ui {
class AboutWindow;
}

// The program's name, version and maker, in a window of its own beside the main window.
class AboutWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AboutWindow(QWidget *parent = nullptr);
    ~AboutWindow() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void showVersion();

    std::unique_ptr<Ui::AboutWindow> ui;
};

#endif
