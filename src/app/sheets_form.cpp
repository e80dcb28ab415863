#include "app/sheets_form.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/fields.h"
#include "app/fonts.h"
#include "app/placement.h"

namespace trevolo {

TSheetsForm::TSheetsForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("TSheetsForm"));
    setWindowTitle(QStringLiteral("シート数設定"));
    setFont(PGothicFont(12));

    lblTab = new QLabel(QStringLiteral("ｼｰﾄ数(項目数)"), this);
    lblTab->setFrameShape(QFrame::Panel);
    lblTab->setFrameShadow(QFrame::Raised);
    lblTab->setAlignment(Qt::AlignCenter);
    lblTab->setMinimumWidth(110);

    spinTab = new TSpinEdit(1, 100, this);
    spinTab->setObjectName(QStringLiteral("spinTab"));
    spinTab->setMaxLength(3);
    spinTab->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    spinTab->setValue(3);
    spinTab->setFont(GothicFont(15));
    spinTab->setToolTip(QStringLiteral("「シート数（項目数）」を１～１００の範囲で設定してください。"));
    spinTab->setAccessibleName(lblTab->text());
    lblTab->setBuddy(spinTab);
    spinTab->keyFilter = [](QChar ch, const QString&) { return ch >= QLatin1Char('0') && ch <= QLatin1Char('9'); };
    spinTab->installEventFilter(this);

    btnOk = new QPushButton(QStringLiteral("ＯＫ"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnOk->setAutoDefault(false);
    btnCancel->setAutoDefault(false);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    btnOk->installEventFilter(this);
    btnCancel->installEventFilter(this);

    auto* row = new QHBoxLayout;
    row->addWidget(lblTab);
    row->addWidget(spinTab);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* v = new QVBoxLayout(this);
    v->addLayout(row);
    v->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(260, 90)));
}

void TSheetsForm::clampCount()
{
    // An emptied count stays empty: it asks for no change, where the
    // minimum would delete every sheet but the first.
    if (!spinTab->text().isEmpty())
        spinTab->clampOnExit();
}

void TSheetsForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    CentreOnScreen(this);
    spinTab->setFocus();
}

bool TSheetsForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == spinTab) {
        if (event->type() == QEvent::FocusIn) {
            spinTab->setFieldColor(kFieldFocusColor);
        } else if (event->type() == QEvent::FocusOut) {
            spinTab->setFieldColor(kFieldNormalColor);
            clampCount();
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (IsEnterKey(k) || k->key() == Qt::Key_Escape) {
            keyPressEvent(k);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSheetsForm::keyPressEvent(QKeyEvent* e)
{
    // Enter leaves the field (so it is clamped) and presses OK; Esc steps
    // back and presses Cancel.
    if (IsEnterKey(e)) {
        focusNextChild();
        clampCount();
        btnOk->click();
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        focusPreviousChild();
        btnCancel->click();
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

}  // namespace trevolo
