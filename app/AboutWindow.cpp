#include "app/AboutWindow.h"

#include "core/Version.h"
#include "ui_AboutWindow.h"

#include <QPixmap>

namespace {

constexpr int iconSize = 96;

} // namespace

AboutWindow::AboutWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::AboutWindow>())
{
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    ui->iconLabel->setPixmap(QPixmap(QStringLiteral(":/icon/resource/CorvanelIcon.png"))
                                 .scaled(iconSize, iconSize, Qt::KeepAspectRatio,
                                         Qt::SmoothTransformation));
    showVersion();
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::showVersion()
{
    ui->versionLabel->setText(tr("Version %1.%2.%3.%4")
                                 .arg(Version::major)
                                 .arg(Version::minor)
                                 .arg(Version::patch)
                                 .arg(Version::build));
}

void AboutWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        showVersion();
    }
    QWidget::changeEvent(event);
}
