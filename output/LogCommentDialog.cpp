#include "output/LogCommentDialog.h"

#include "output/LogFile.h"
#include "ui_LogCommentDialog.h"

LogCommentDialog::LogCommentDialog(LogFile *log, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::LogCommentDialog>()), log(log)
{
    ui->setupUi(this);
    connect(log, &LogFile::statusChanged, this, &LogCommentDialog::update);
}

LogCommentDialog::~LogCommentDialog() = default;

QString LogCommentDialog::commentText() const
{
    return ui->Comment->text();
}

bool LogCommentDialog::isRepeating() const
{
    return ui->RepeatingComment->isChecked();
}

void LogCommentDialog::update()
{
    ui->Comment->setText(log->comment());
    if (log->isCommentRepeating())
        ui->RepeatingComment->setChecked(true);
    else
        ui->SingleComment->setChecked(true);
}

void LogCommentDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}
