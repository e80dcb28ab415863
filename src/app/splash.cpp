#include "app/splash.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

#include "app/fonts.h"
#include "app/placement.h"

namespace trevolo {

TSplashForm::TSplashForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("TSplashForm"));
    setWindowTitle(QStringLiteral("しばらくおまちください…"));
    setFixedSize(385, 80);
    setModal(false);
    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(0, 17, 385, 41);
    lblTitle->setAlignment(Qt::AlignCenter);
    QFont f = GothicFont(15);
    f.setBold(true);
    lblTitle->setFont(f);
    QPalette p = lblTitle->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lblTitle->setPalette(p);
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setGeometry(40, 58, 305, 12);
    barProgress->setTextVisible(false);
    barProgress->hide();
}

void TSplashForm::showText(const QString& text)
{
    lblTitle->setText(text);
    barProgress->hide();
    CentreOnScreen(this);
    show();
    repaint();
}

void TSplashForm::showProgress(int done, int total)
{
    barProgress->setRange(0, total);
    barProgress->setValue(done);
    barProgress->show();
    repaint();
}

QString TSplashForm::text() const
{
    return lblTitle->text();
}

BusyFrame::BusyFrame(TSplashForm* splash, const QString& text) : splash_(splash)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (splash_)
        splash_->showText(text);
}

BusyFrame::~BusyFrame()
{
    if (splash_)
        splash_->close();
    QApplication::restoreOverrideCursor();
}

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    QApplication::restoreOverrideCursor();
}

}  // namespace trevolo
