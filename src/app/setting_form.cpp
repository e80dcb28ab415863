#include "app/setting_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/fields.h"
#include "app/fonts.h"
#include "app/header_panel.h"
#include "app/limit_panel.h"
#include "app/pages.h"
#include "app/placement.h"
#include "model/number.h"

namespace trevolo {

namespace {

QLabel* LabelPanel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Raised);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(90);
    l->setBuddy(buddy);
    buddy->setAccessibleName(text);
    return l;
}

// A list position, or the first-start value when the list shows no item.
int ListIndex(const QComboBox* box, int fallback)
{
    const int i = box->currentIndex();
    return i >= 0 ? i : fallback;
}

int SpinValue(const TSpinEdit* spin)
{
    return std::clamp(spin->value(), spin->minValue(), spin->maxValue());
}

}  // namespace

TSettingForm::TSettingForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("TSettingForm"));
    setWindowTitle(QStringLiteral("各種初期値設定"));
    setFont(PGothicFont(12));

    auto spin = [this](const char* name, int lo, int hi, int maxLen, const QString& hint) {
        auto* s = new TSpinEdit(lo, hi, this);
        s->setObjectName(QLatin1String(name));
        s->setMaxLength(maxLen);
        s->setFont(GothicFont(15));
        s->setToolTip(hint);
        s->setMinimumWidth(70);
        return s;
    };
    auto combo = [this](const char* name, const auto& items, const QString& hint) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        for (const char* t : items)
            c->addItem(QString::fromUtf8(t));
        c->setToolTip(hint);
        c->setAttribute(Qt::WA_InputMethodEnabled, false);
        return c;
    };

    // Sheet count, lot count and n.
    grpSize = new QGroupBox(QStringLiteral("シート数(項目数)、ロット数、検査ｎ数"), this);
    spinTab = spin("spinTab", 1, kMaxSheets, 3,
                   QStringLiteral("「シート数（項目数）」を１～１００の範囲で設定してください。"));
    spinRow = spin("spinRow", kMinLots, kMaxLots, 4,
                   QStringLiteral("「ロット数（行数）」を１０～１０００の範囲で設定してください。"));
    spinCol =
        spin("spinCol", kMinN, kMaxN, 3, QStringLiteral("「検査ｎ数（列数）」を１～１００の範囲で設定してください。"));
    auto* g1 = new QGridLayout(grpSize);
    lblTab = LabelPanel(QStringLiteral("ｼｰﾄ数"), spinTab, grpSize);
    lblRow = LabelPanel(QStringLiteral("ﾛｯﾄ数(行)"), spinRow, grpSize);
    lblCol = LabelPanel(QStringLiteral("検査ｎ数(列)"), spinCol, grpSize);
    g1->addWidget(lblTab, 0, 0);
    g1->addWidget(spinTab, 0, 1);
    g1->addWidget(lblRow, 1, 0);
    g1->addWidget(spinRow, 1, 1);
    g1->addWidget(lblCol, 2, 0);
    g1->addWidget(spinCol, 2, 1);

    // The specification basics of new sheets.
    grpSpec = new QGroupBox(QStringLiteral("規格基本情報"), this);
    editUnit = new TEdit(this);
    editUnit->setObjectName(QStringLiteral("editUnit"));
    editUnit->setMaxLength(6);
    editUnit->setFont(GothicFont(15));
    editUnit->setToolTip(QStringLiteral("「測定単位」を入力してください。"));
    editUnit->setAttribute(Qt::WA_InputMethodEnabled, false);
    cmbSpecKind = combo("cmbSpecKind", kSpecKindTexts, QStringLiteral("「規格種別」を選択してください。"));
    spinKeta = spin("spinKeta", 0, 5, 1, QStringLiteral("「小数点以下桁数」を０～５の範囲で設定してください。"));
    auto* g2 = new QGridLayout(grpSpec);
    lblUnit = LabelPanel(QStringLiteral("測定単位"), editUnit, grpSpec);
    lblSpecKind = LabelPanel(QStringLiteral("規格種別"), cmbSpecKind, grpSpec);
    lblKeta = LabelPanel(QStringLiteral("小数桁数"), spinKeta, grpSpec);
    g2->addWidget(lblUnit, 0, 0);
    g2->addWidget(editUnit, 0, 1);
    g2->addWidget(lblSpecKind, 1, 0);
    g2->addWidget(cmbSpecKind, 1, 1);
    g2->addWidget(lblKeta, 2, 0);
    g2->addWidget(spinKeta, 2, 1);

    // The Cp/Cpk marking: [box] [CP/CPK] が [threshold] 未満を「赤色表示(異常)」とする.
    // The threshold field sits on the sentence panel, over its blanks.
    grpCpCpk = new QGroupBox(QStringLiteral("CP-CPK判定"), this);
    chkCpCpk = new QCheckBox(grpCpCpk);
    chkCpCpk->setObjectName(QStringLiteral("chkCpCpk"));
    chkCpCpk->setAccessibleName(QStringLiteral("CP-CPK判定"));
    cmbCpCpk = combo("cmbCpCpk", kCpCpkTexts, QStringLiteral("「演算判定種別」を選択してください。"));
    cmbCpCpk->setAccessibleName(QStringLiteral("演算判定種別"));
    pnlCpCpk = new QLabel(QStringLiteral("が　　　未満を「赤色表示(異常)」とする"), grpCpCpk);
    pnlCpCpk->setObjectName(QStringLiteral("pnlCpCpk"));
    pnlCpCpk->setFont(PGothicFont(16));
    pnlCpCpk->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    editCpCpk = new TEdit(pnlCpCpk);
    editCpCpk->setObjectName(QStringLiteral("editCpCpk"));
    editCpCpk->setMaxLength(4);
    editCpCpk->setFont(GothicFont(15));
    editCpCpk->setToolTip(QStringLiteral("「演算判定種別」の不良率を入力してください。"));
    editCpCpk->setAccessibleName(QStringLiteral("不良率"));
    editCpCpk->setAttribute(Qt::WA_InputMethodEnabled, false);
    {
        const QFontMetrics fm(pnlCpCpk->font());
        const int x = fm.horizontalAdvance(QStringLiteral("が"));
        const int w = fm.horizontalAdvance(QStringLiteral("　　　"));
        const int h = std::max(fm.height(), editCpCpk->sizeHint().height());
        pnlCpCpk->setMinimumSize(fm.horizontalAdvance(pnlCpCpk->text()) + 4, h);
        editCpCpk->setGeometry(x, 0, w, h);
    }
    auto* g3 = new QHBoxLayout(grpCpCpk);
    g3->addWidget(chkCpCpk);
    g3->addWidget(cmbCpCpk);
    g3->addWidget(pnlCpCpk, 1);

    // Chart kind and limit method.
    grpChart = new QGroupBox(QStringLiteral("管理図指定"), this);
    cmbChart = combo("cmbChart", kChartTexts, QStringLiteral("「管理図」を指定してください。"));
    cmbLimit = combo("cmbLimit", kLimitTexts, QStringLiteral("「管理限界線」を指定してください。"));
    auto* g4 = new QGridLayout(grpChart);
    lblChart = LabelPanel(QStringLiteral("管理図指定"), cmbChart, grpChart);
    lblLimit = LabelPanel(QStringLiteral("限界線指定"), cmbLimit, grpChart);
    g4->addWidget(lblChart, 0, 0);
    g4->addWidget(cmbChart, 0, 1);
    g4->addWidget(lblLimit, 1, 0);
    g4->addWidget(cmbLimit, 1, 1);

    btnOk = new QPushButton(QStringLiteral("ＯＫ"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton* b : {btnOk, btnCancel})
        b->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(grpSize);
    top->addWidget(grpSpec);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addWidget(grpCpCpk);
    v->addWidget(grpChart);
    v->addLayout(buttons);

    setTabOrder(spinTab, spinRow);
    setTabOrder(spinRow, spinCol);
    setTabOrder(spinCol, editUnit);
    setTabOrder(editUnit, cmbSpecKind);
    setTabOrder(cmbSpecKind, spinKeta);
    setTabOrder(spinKeta, chkCpCpk);
    setTabOrder(chkCpCpk, cmbCpCpk);
    setTabOrder(cmbCpCpk, editCpCpk);
    setTabOrder(editCpCpk, cmbChart);
    setTabOrder(cmbChart, cmbLimit);
    setTabOrder(cmbLimit, btnOk);
    setTabOrder(btnOk, btnCancel);

    spinTab->keyFilter = DigitKey;
    spinRow->keyFilter = DigitKey;
    spinCol->keyFilter = DigitKey;
    spinKeta->keyFilter = DecimalsKey;
    editCpCpk->keyFilter = ThresholdKey;

    connect(chkCpCpk, &QCheckBox::toggled, this, &TSettingForm::chkCpCpkClick);
    connect(spinCol, &QLineEdit::textChanged, this, &TSettingForm::spinColChange);
    connect(cmbChart, &QComboBox::activated, this, &TSettingForm::cmbChartChange);
    connect(btnOk, &QPushButton::clicked, this, &TSettingForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TSettingForm::btnCancelClick);
    for (QWidget* w : findChildren<QWidget*>())
        if (w->focusPolicy() != Qt::NoFocus)
            w->installEventFilter(this);

    settings_ = InitialValues::Defaults();
    FormCreate();
    setFixedSize(sizeHint());
}

void TSettingForm::FormCreate()
{
    for (TEdit* e : {static_cast<TEdit*>(spinTab), static_cast<TEdit*>(spinRow), static_cast<TEdit*>(spinCol),
                     editCpCpk, static_cast<TEdit*>(spinKeta)})
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    editUnit->setAlignment(Qt::AlignCenter);
    // The threshold line starts in the state of its box.
    chkCpCpkClick();
}

bool TSettingForm::execFor(InitialValues& settings)
{
    settings_ = settings;
    if (exec() != QDialog::Accepted)
        return false;
    settings = settings_;
    return true;
}

void TSettingForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    CentreOnScreen(this);
    FormShow();
}

void TSettingForm::FormShow()
{
    const InitialValues s = settings_;
    spinTab->setValue(s.sheetCount);
    spinRow->setValue(s.lots);
    spinCol->setValue(s.n);
    editUnit->setText(QString::fromStdString(s.unit));
    cmbSpecKind->setCurrentIndex(s.specKind);
    spinKeta->setValue(s.decimals);
    chkCpCpk->setChecked(s.cpkCheck);
    cmbCpCpk->setCurrentIndex(s.cpkIndex);
    editCpCpk->setText(QString::fromStdString(s.cpCpk));
    cmbChart->setCurrentIndex(s.chartKind);
    cmbLimit->setCurrentIndex(s.limitMethod);
    // A field left yellow when the dialog last closed is white again; the
    // threshold line keeps the colour of its box's state.
    for (TEdit* e : {static_cast<TEdit*>(spinTab), static_cast<TEdit*>(spinRow), static_cast<TEdit*>(spinCol), editUnit,
                     static_cast<TEdit*>(spinKeta)})
        e->setFieldColor(kFieldNormalColor);
    for (QComboBox* c : {cmbSpecKind, cmbChart, cmbLimit})
        setComboColor(c, kFieldNormalColor);
    chkCpCpkClick();
    spinTab->setFocus();
}

bool TSettingForm::isField(const QWidget* w) const
{
    return w == spinTab || w == spinRow || w == spinCol || w == editUnit || w == spinKeta || w == editCpCpk ||
           w == cmbSpecKind || w == cmbCpCpk || w == cmbChart || w == cmbLimit;
}

void TSettingForm::setComboColor(QComboBox* box, const QColor& c)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Base, c);
    p.setColor(QPalette::Button, c);
    box->setPalette(p);
}

void TSettingForm::Set_OnColor(QWidget* field)
{
    if (auto* e = qobject_cast<TEdit*>(field))
        e->setFieldColor(kFieldFocusColor);
    else if (auto* c = qobject_cast<QComboBox*>(field))
        setComboColor(c, kFieldFocusColor);
}

void TSettingForm::Set_OffColor(QWidget* field)
{
    if (auto* c = qobject_cast<QComboBox*>(field)) {
        setComboColor(c, c->isEnabled() ? kFieldNormalColor : palette().color(QPalette::Button));
        return;
    }
    auto* e = qobject_cast<TEdit*>(field);
    if (!e)
        return;
    e->setFieldColor(kFieldNormalColor);
    if (auto* s = qobject_cast<TSpinEdit*>(field)) {
        s->clampOnExit();
        return;
    }
    if (e == editCpCpk) {
        const std::string t = e->text().toStdString();
        if (IsBlank(t))
            return;
        double v = 0;
        e->setText(TryStrToFloat(t, v) ? QString::fromStdString(FormatFixed(v, 2)) : QStringLiteral("1.33"));
    }
}

bool TSettingForm::FormKeyPress(QKeyEvent* e)
{
    if (IsEnterKey(e)) {
        // Enter on a button presses it; anywhere else it moves on.
        if (auto* b = qobject_cast<QPushButton*>(QApplication::focusWidget()); b && b->window() == this) {
            b->click();
            return true;
        }
        focusNextChild();
        return true;
    }
    if (e->key() == Qt::Key_Escape) {
        btnCancel->setFocus(Qt::TabFocusReason);
        btnCancel->click();
        return true;
    }
    return false;
}

bool TSettingForm::eventFilter(QObject* watched, QEvent* event)
{
    auto* w = qobject_cast<QWidget*>(watched);
    if (w) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (FormKeyPress(static_cast<QKeyEvent*>(event)))
                return true;
            break;
        case QEvent::FocusIn:
            if (isField(w))
                Set_OnColor(w);
            break;
        case QEvent::FocusOut: {
            // Leaving a field for another control of the dialog, not for a
            // list's drop-down or another window.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isField(w))
                Set_OffColor(w);
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSettingForm::chkCpCpkClick()
{
    const bool on = chkCpCpk->isChecked();
    editCpCpk->setEnabled(on);
    cmbCpCpk->setEnabled(on);
    const QColor c = on ? kFieldNormalColor : palette().color(QPalette::Button);
    editCpCpk->setFieldColor(c);
    setComboColor(cmbCpCpk, c);
}

void TSettingForm::spinColChange()
{
    const QString t = spinCol->text();
    if (t.isEmpty() || t == QLatin1String("0"))
        return;
    // The text as it is typed: "1" itself is one value per lot, "01" is not
    // until the field is left; any other text keeps the chosen kind.
    cmbChart->setCurrentIndex(ShownChartKind(t == QLatin1String("1") ? 1 : 0, settings_.chartKind));
    if (spinCol->value() > spinCol->maxValue())
        spinCol->setValue(spinCol->maxValue());
}

void TSettingForm::cmbChartChange()
{
    if (spinCol->text() == QLatin1String("1"))
        cmbChart->setCurrentIndex(ChartXRs);
    if (cmbChart->currentIndex() == ChartXRs)
        spinCol->setText(QStringLiteral("1"));
}

void TSettingForm::btnOkClick()
{
    // A field still holding the focus (OK pressed by its key) is left first,
    // so its value is normalised as when the user clicks the button.
    if (QWidget* f = QApplication::focusWidget(); f && isField(f))
        Set_OffColor(f);
    const InitialValues def = InitialValues::Defaults();
    InitialValues s = settings_;
    s.sheetCount = SpinValue(spinTab);
    s.lots = SpinValue(spinRow);
    s.n = SpinValue(spinCol);
    s.unit = editUnit->text().toStdString();
    s.specKind = ListIndex(cmbSpecKind, def.specKind);
    s.decimals = SpinValue(spinKeta);
    s.cpkCheck = chkCpCpk->isChecked();
    s.cpkIndex = ListIndex(cmbCpCpk, def.cpkIndex);
    s.cpCpk = editCpCpk->text().toStdString();
    s.chartKind = ListIndex(cmbChart, def.chartKind);
    s.limitMethod = ListIndex(cmbLimit, def.limitMethod);
    settings_ = s;
    accept();
}

void TSettingForm::btnCancelClick()
{
    reject();
}

// ---- the main window's command ----

}  // namespace trevolo
