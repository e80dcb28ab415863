#include "app/about_form.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/fonts.h"
#include "app/placement.h"

namespace trevolo {

namespace {

const QColor kTeal(0, 128, 128);

QFont CenturyFont(int pixelSize, bool bold)
{
    QFont f(QStringLiteral("Century"));
    f.setStyleHint(QFont::Serif);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

QLabel* TealLine(const char* name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QFont f = GothicFont(24);
    f.setBold(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, kTeal);
    l->setPalette(p);
    return l;
}

}  // namespace

QPixmap ProgramIconPixmap()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.drawRect(0, 0, 31, 31);
    // Upper and lower control limits, the centre line, and the lot means.
    p.setPen(QPen(QColor(255, 0, 0), 1, Qt::DashLine));
    p.drawLine(3, 7, 29, 7);
    p.drawLine(3, 25, 29, 25);
    p.setPen(QPen(QColor(0, 128, 0), 1));
    p.drawLine(3, 16, 29, 16);
    p.setPen(QPen(QColor(0, 0, 255), 2));
    const QPointF means[] = {{4, 17}, {8, 12}, {12, 19}, {16, 14}, {20, 20}, {24, 11}, {28, 15}};
    p.drawPolyline(means, 7);
    return pm;
}

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("TAboutForm"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFont(GothicFont(15));

    pnlBevel = new QFrame(this);
    pnlBevel->setObjectName(QStringLiteral("pnlBevel"));
    pnlBevel->setFrameShape(QFrame::Panel);
    pnlBevel->setFrameShadow(QFrame::Sunken);

    ProgramIcon = new QLabel(pnlBevel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(ProgramIconPixmap());
    ProgramIcon->setFixedSize(32, 32);
    ProgramIcon->setAccessibleName(QStringLiteral("Trevolo"));

    lblAppName = new QLabel(QStringLiteral("Trevolo"), pnlBevel);
    lblAppName->setObjectName(QStringLiteral("lblAppName"));
    lblAppName->setFont(CenturyFont(24, true));
    lblVersion = new QLabel(QStringLiteral("Version "), pnlBevel);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setFont(CenturyFont(19, false));
    lblProductName = TealLine("lblProductName", QStringLiteral("SPC工程管理システム Trevolo"), pnlBevel);
    Label2 = TealLine("Label2", QStringLiteral("（１）ロット数拡張機能対応(最大1000)"), pnlBevel);
    Label3 = TealLine("Label3", QStringLiteral("（２）管理限界値任意設定対応(±３σ)"), pnlBevel);
    Label4 = TealLine("Label4", QStringLiteral("（３）SPC異常判定任意設定対応(±３σ)"), pnlBevel);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* head = new QGridLayout;
    head->addWidget(ProgramIcon, 0, 0, 2, 1, Qt::AlignTop);
    head->addWidget(lblAppName, 0, 1);
    head->addWidget(lblVersion, 1, 1);
    head->setColumnStretch(1, 1);
    auto* panel = new QVBoxLayout(pnlBevel);
    panel->setContentsMargins(12, 10, 12, 10);
    panel->addLayout(head);
    panel->addSpacing(8);
    panel->addWidget(lblProductName);
    panel->addWidget(Label2);
    panel->addWidget(Label3);
    panel->addWidget(Label4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();
    auto* v = new QVBoxLayout(this);
    v->addWidget(pnlBevel);
    v->addLayout(buttons);
    setFixedSize(sizeHint());
}

void TAboutForm::execFor(const ProgramVersion& version)
{
    setVersion(version);
    exec();
}

void TAboutForm::showEvent(QShowEvent* e)
{
    FormShow();
    QDialog::showEvent(e);
    CentreOnScreen(this);
    OKButton->setFocus();
}

void TAboutForm::FormShow()
{
    lblVersion->setText(QStringLiteral("Version ") + QString::fromStdString(version_.versionText));
}

}  // namespace trevolo
