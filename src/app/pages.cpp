// The entry, capability and SPC pages of the main window.
#include "app/pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/fields.h"
#include "app/fonts.h"
#include "app/panel_parts.h"
#include "app/stringgrid.h"
#include "model/number.h"

namespace trevolo {

namespace {

// A page's layout with its button row on top.
std::pair<QVBoxLayout*, QHBoxLayout*> Toolbar(QWidget* page)
{
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(2);
    auto* h = new QHBoxLayout;
    v->addLayout(h);
    return {v, h};
}

// The caption beside a verdict panel: it labels the panel for assistive
// technology, so the two are one control with one name, not two alike.
QLabel* VerdictLabel(QLabel* panel, QWidget* parent)
{
    auto* l = new QLabel(QStringLiteral("総合判定結果"), parent);
    l->setBuddy(panel);
    return l;
}

}  // namespace

EntryPage::EntryPage(SheetSession& session, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet1"));
    auto [v1, h1] = Toolbar(this);
    btnAllOn = Button("btnAllOn", QStringLiteral("全て有効"), this);
    btnLotEdit = Button("btnLotEdit", QStringLiteral("ﾛｯﾄ№編集"), this);
    btnSpecJudg = Button("btnSpecJudg", QStringLiteral("規格判定"), this);
    pnlSpecJudg = VerdictPanel("pnlSpecJudg", this);
    btnRandom = Button("btnRandam", QStringLiteral("ランダム"), this);
    btnRandom->hide();
    h1->addWidget(btnAllOn);
    h1->addWidget(btnLotEdit);
    h1->addWidget(btnSpecJudg);
    h1->addWidget(VerdictLabel(pnlSpecJudg, this));
    h1->addWidget(pnlSpecJudg);
    h1->addStretch();
    auto* split = new QHBoxLayout;
    split->setSpacing(3);
    gridCtrl = new TplStringGrid(session.lotCells(), this);
    gridCtrl->setObjectName(QStringLiteral("gridCtrl"));
    gridCtrl->setFixedWidth(151);
    gridCtrl->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gridCtrl->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gridCtrl->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridCtrl->setAccessibleName(QStringLiteral("ﾛｯﾄ№"));
    gridEdit = new StringGrid(session.valueCells(), 0, this);
    gridEdit->setObjectName(QStringLiteral("gridEdit"));
    gridEdit->gridModel()->editable = true;
    gridEdit->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    gridEdit->setAccessibleName(QStringLiteral("測定値"));
    split->addWidget(gridCtrl);
    split->addWidget(gridEdit, 1);
    v1->addLayout(split, 1);
    // The lot numbers and checks always stand beside their values.
    connect(gridEdit->verticalScrollBar(), &QScrollBar::valueChanged, gridCtrl->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(gridCtrl->verticalScrollBar(), &QScrollBar::valueChanged, gridEdit->verticalScrollBar(),
            &QScrollBar::setValue);
    for (QWidget* w : std::initializer_list<QWidget*>{gridEdit, gridCtrl})
        w->setAttribute(Qt::WA_InputMethodEnabled, false);

    connect(btnAllOn, &QPushButton::clicked, this, &EntryPage::allOnClicked);
    connect(btnLotEdit, &QPushButton::clicked, this, &EntryPage::lotEditClicked);
    connect(btnSpecJudg, &QPushButton::clicked, this, &EntryPage::specJudgClicked);
    connect(btnRandom, &QPushButton::clicked, this, &EntryPage::randomClicked);
}

void EntryPage::showVerdict(const char* text)
{
    ShowVerdict(pnlSpecJudg, text);
}

CapabilityPage::CapabilityPage(SheetSession& session, QWidget* parent) : QWidget(parent), session_(session)
{
    setObjectName(QStringLiteral("TabSheet2"));
    auto [v2, h2] = Toolbar(this);
    btnCpkCalc = Button("btnCpkCalc", QStringLiteral("不良率判定"), this);
    pnlCpkJudg = VerdictPanel("pnlCpkJudg", this);
    chkCpCpk = new QCheckBox(this);
    chkCpCpk->setObjectName(QStringLiteral("chkCpCpk"));
    chkCpCpk->setChecked(true);
    chkCpCpk->setAccessibleName(QStringLiteral("赤色表示(異常)"));
    cmbCpCpk = new QComboBox(this);
    cmbCpCpk->setObjectName(QStringLiteral("cmbCpCpk"));
    for (const char* t : kCpCpkTexts)
        cmbCpCpk->addItem(QString::fromUtf8(t));
    cmbCpCpk->setCurrentIndex(1);
    cmbCpCpk->setToolTip(QStringLiteral("「演算判定種別」を選択してください。"));
    cmbCpCpk->setAccessibleName(QStringLiteral("演算判定種別"));
    editCpCpk = new TEdit(this);
    editCpCpk->setObjectName(QStringLiteral("editCpCpk"));
    editCpCpk->setMaxLength(4);
    editCpCpk->setText(QStringLiteral("1.33"));
    editCpCpk->setFont(GothicFont(15));
    editCpCpk->setFixedWidth(60);
    editCpCpk->setToolTip(QStringLiteral("「演算判定種別」の不良率を入力してください。"));
    editCpCpk->setAccessibleName(QStringLiteral("不良率"));
    pnlCpCpk = new QLabel(QStringLiteral("が　　　未満を「赤色表示(異常)」とする"), this);
    pnlCpCpk->setObjectName(QStringLiteral("pnlCpCpk"));
    h2->addWidget(btnCpkCalc);
    h2->addWidget(VerdictLabel(pnlCpkJudg, this));
    h2->addWidget(pnlCpkJudg);
    h2->addSpacing(20);
    h2->addWidget(chkCpCpk);
    h2->addWidget(cmbCpCpk);
    // The threshold field sits in the blanks of the sentence.
    auto* sentence = new QWidget(this);
    auto* sl = new QHBoxLayout(sentence);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->setSpacing(2);
    sl->addWidget(new QLabel(QStringLiteral("が"), sentence));
    sl->addWidget(editCpCpk);
    sl->addWidget(new QLabel(QStringLiteral("未満を「赤色表示(異常)」とする"), sentence));
    pnlCpCpk->hide();
    h2->addWidget(sentence);
    h2->addStretch();
    // The total row follows the last lot row: with 1000 lots it is row 1001.
    gridCalc = new StringGrid(session.calcCells(), 1, this);
    gridCalc->setObjectName(QStringLiteral("gridCalc"));
    gridCalc->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridCalc->setSelectionMode(QAbstractItemView::SingleSelection);
    gridCalc->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridCalc->setAccessibleName(QStringLiteral("CP-CPK不良率判定"));
    v2->addWidget(gridCalc, 1);

    editCpCpk->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QWidget* w : std::initializer_list<QWidget*>{editCpCpk, cmbCpCpk})
        w->setAttribute(Qt::WA_InputMethodEnabled, false);
    editCpCpk->keyFilter = ThresholdKey;

    BindCheck(chkCpCpk, [&session](bool on) { session.setThresholdOn(on); });
    BindIndex(cmbCpCpk, [&session](int i) { session.setThresholdIndex(i); });
    BindText(editCpCpk, [&session](std::string t) { session.setThresholdText(std::move(t)); });

    connect(btnCpkCalc, &QPushButton::clicked, this, &CapabilityPage::cpkCalcClicked);
    connect(chkCpCpk, &QCheckBox::toggled, this, &CapabilityPage::thresholdToggled);
    connect(cmbCpCpk, &QComboBox::activated, this, &CapabilityPage::thresholdKindChosen);
}

std::vector<QWidget*> CapabilityPage::fields() const
{
    return {cmbCpCpk, editCpCpk};
}

void CapabilityPage::showVerdict(const char* text)
{
    ShowVerdict(pnlCpkJudg, text);
}

void CapabilityPage::showSettings(const InitialValues& settings)
{
    chkCpCpk->setChecked(settings.cpkCheck);
    cmbCpCpk->setCurrentIndex(settings.cpkIndex);
    editCpCpk->setText(QString::fromStdString(settings.cpCpk));
}

void CapabilityPage::showThreshold()
{
    {
        const QSignalBlocker on(chkCpCpk);
        const QSignalBlocker index(cmbCpCpk);
        const QSignalBlocker text(editCpCpk);
        chkCpCpk->setChecked(session_.threshold().on);
        cmbCpCpk->setCurrentIndex(session_.threshold().index);
        editCpCpk->setText(QString::fromStdString(session_.threshold().text));
    }
    applyThreshold();
}

void CapabilityPage::applyThreshold()
{
    const bool on = chkCpCpk->isChecked();
    cmbCpCpk->setEnabled(on);
    editCpCpk->setEnabled(on);
    const QColor face = window()->palette().color(QPalette::Button);
    editCpCpk->setFieldColor(on ? kFieldNormalColor : face);
    // The list greys out with the threshold; switched on it looks as a list
    // left by the focus does.
    QPalette p;
    if (!on) {
        p.setColor(QPalette::Base, face);
        p.setColor(QPalette::Button, face);
    }
    cmbCpCpk->setPalette(p);
}

bool CapabilityPage::normalise(QWidget* field)
{
    if (field != editCpCpk)
        return false;
    const std::string t = editCpCpk->text().toStdString();
    double v = 0;
    if (!IsBlank(t))
        editCpCpk->setText(TryStrToFloat(t, v) ? QString::fromStdString(FormatFixed(v, 2)) : QStringLiteral("1.33"));
    return true;
}

SpcPage::SpcPage(SheetSession& session, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet3"));
    auto [v3, h3] = Toolbar(this);
    btnSpcJudg = Button("btnSpcJudg", QStringLiteral("SPC異常判定"), this);
    pnlSpcJudg = VerdictPanel("pnlSpcJudg", this);
    h3->addWidget(btnSpcJudg);
    h3->addWidget(VerdictLabel(pnlSpcJudg, this));
    h3->addWidget(pnlSpcJudg);
    h3->addStretch();
    gridSpc = new StringGrid(session.spcCells(), 1, this);
    gridSpc->setObjectName(QStringLiteral("gridSpc"));
    gridSpc->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridSpc->setSelectionMode(QAbstractItemView::SingleSelection);
    gridSpc->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridSpc->setAccessibleName(QStringLiteral("SPC異常判定"));
    v3->addWidget(gridSpc, 1);
    connect(btnSpcJudg, &QPushButton::clicked, this, &SpcPage::spcJudgClicked);
}

void SpcPage::showVerdict(const char* text)
{
    ShowVerdict(pnlSpcJudg, text);
}

}  // namespace trevolo
