#ifndef VENTROLLA_OUTPUT_LOGCOMMENTDIALOG_H
#define VENTROLLA_OUTPUT_LOGCOMMENTDIALOG_H

#include <QDialog>
#include <QString>

#include <memory>

class LogFile;
namespace Ui {
class LogCommentDialog;
}

// Edits the comment of the log: for the next data line only, or for every following one.
// It shows the log's comment again whenever the log opens, pauses or stops; the main window
// hands the edited comment to the log when the dialog is accepted.
class LogCommentDialog : public QDialog
{
    Q_OBJECT

public:
    explicit LogCommentDialog(LogFile *log, QWidget *parent = nullptr);
    ~LogCommentDialog() override;

    QString commentText() const;
    bool isRepeating() const;

public slots:
    void update();

protected:
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::LogCommentDialog> ui;
    LogFile *log;
};

#endif
