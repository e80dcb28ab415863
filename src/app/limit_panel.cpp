// The control-limit panel of the main window.
#include "app/limit_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/fields.h"
#include "app/fonts.h"
#include "app/panel_parts.h"
#include "model/comfunction.h"
#include "model/comtype.h"
#include "model/number.h"

namespace trevolo {

namespace {

// Each visible line has a name in either state.
static_assert(kThreeSigmaLineNames.size() == kVisibleLimitLines);
static_assert(kTypedLineNames.size() == kVisibleLimitLines);

}  // namespace

LimitPanel::LimitPanel(SheetSession& session, QWidget* parent)
    : QGroupBox(QStringLiteral("管理限界値設定（±３σ任意設定・項目名編集可能）＆ﾋｽﾄｸﾞﾗﾑ設定"), parent),
      session_(session)
{
    setObjectName(QStringLiteral("grpLimit"));
    auto* lg = new QGridLayout(this);
    lg->setContentsMargins(4, 2, 4, 2);
    lg->setVerticalSpacing(2);
    lg->setHorizontalSpacing(3);
    createChoices(*lg);
    createLines();
    layOutLines(*lg);
    setupInput();
    bindSession();
}

// The chart kind, the limit method, the three-sigma button and the
// histogram's class count, down the first column.
void LimitPanel::createChoices(QGridLayout& lg)
{
    cmbChart = new QComboBox(this);
    cmbChart->setObjectName(QStringLiteral("cmbChart"));
    for (const char* t : kChartTexts)
        cmbChart->addItem(QString::fromUtf8(t));
    cmbChart->setToolTip(QStringLiteral("使用する「管理図」を指定してください。"));
    cmbLimit = new QComboBox(this);
    cmbLimit->setObjectName(QStringLiteral("cmbLimit"));
    for (const char* t : kLimitTexts)
        cmbLimit->addItem(QString::fromUtf8(t));
    cmbLimit->setToolTip(QStringLiteral("「管理限界線」を指定してください。"));
    btn3Stdev = Button("btn3Stdev", QStringLiteral("管理限界値設定"), this);
    btn3Stdev->setToolTip(QStringLiteral("±３σを自動計算しそれぞれ設定します。"));
    btn3Stdev->setFocusPolicy(Qt::ClickFocus);
    spinBetWeen = new TSpinEdit(5, 10, this);
    spinBetWeen->setObjectName(QStringLiteral("spinBetWeen"));
    spinBetWeen->setMaxLength(2);
    spinBetWeen->setText(QStringLiteral("10"));
    spinBetWeen->setFont(GothicFont(15));
    spinBetWeen->setToolTip(QStringLiteral("ヒストグラムのデータ区間数を５～１０の範囲で設定してください。"));

    auto* chartLabel = new QLabel(QStringLiteral("▼管理図指定"), this);
    chartLabel->setBuddy(cmbChart);
    cmbChart->setAccessibleName(QStringLiteral("管理図指定"));
    auto* limitLabel = new QLabel(QStringLiteral("▼限界線指定"), this);
    limitLabel->setBuddy(cmbLimit);
    cmbLimit->setAccessibleName(QStringLiteral("限界線指定"));
    lg.addWidget(chartLabel, 0, 0);
    lg.addWidget(cmbChart, 1, 0);
    lg.addWidget(limitLabel, 2, 0);
    lg.addWidget(cmbLimit, 3, 0);
    lg.addWidget(btn3Stdev, 4, 0);
    auto* betweenRow = new QHBoxLayout;
    betweenRow->addWidget(LabelPanel(QStringLiteral("ﾃﾞｰﾀ区間数"), spinBetWeen, this));
    betweenRow->addWidget(spinBetWeen);
    lg.addLayout(betweenRow, 5, 0);
}

// The eleven limit fields with the name field and check box of each
// visible line.
void LimitPanel::createLines()
{
    auto limit = [this](const char* name, int maxLen, const QString& hint) {
        auto* e = new TEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(maxLen);
        e->setToolTip(hint);
        e->setFont(GothicFont(15));
        e->setMinimumWidth(70);
        return e;
    };
    auto item = [this](const char* name, const QString& text, const QString& hint) {
        auto* e = new TEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(20);
        e->setText(text);
        e->setToolTip(hint);
        e->setFont(GothicFont(15));
        e->setAccessibleName(hint);
        return e;
    };
    auto makeBox = [this](const char* name) {
        auto* b = new QCheckBox(this);
        b->setObjectName(QLatin1String(name));
        b->setChecked(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    editUcl3 = limit("editUcl3", 10, QStringLiteral("「X-管理限界上限値３」を入力してください。"));
    editUcl2 = limit("editUcl2", 10, QStringLiteral("「X-管理限界上限値２」を入力してください。"));
    editUcl1 = limit("editUcl1", 10, QStringLiteral("「X-管理限界上限値１」を入力してください。"));
    editLcl3 = limit("editLcl3", 15, QStringLiteral("「X-管理限界下限値３」を入力してください。"));
    editLcl2 = limit("editLcl2", 15, QStringLiteral("「X-管理限界下限値２」を入力してください。"));
    editLcl1 = limit("editLcl1", 15, QStringLiteral("「X-管理限界下限値１」を入力してください。"));
    editXcl = limit("editXcl", 10, QStringLiteral("「X-平均値」を入力してください。"));
    editRcl = limit("editRcl", 10, QStringLiteral("「R-平均値」を入力してください。"));
    editRsUcl3 = limit("editRsUcl3", 10, QStringLiteral("「R-管理限界上限値」を入力してください。"));
    editRsUcl2 = limit("editRsUcl2", 10, QString());
    editRsUcl1 = limit("editRsUcl1", 10, QString());
    itemUcl3 = item("itemUcl3", QStringLiteral("＋３σ"), QStringLiteral("＋３σの名称が直接変更できます。"));
    itemUcl2 = item("itemUcl2", QStringLiteral("＋２σ"), QStringLiteral("＋２σの名称が直接変更できます。"));
    itemUcl1 = item("itemUcl1", QStringLiteral("＋１σ"), QStringLiteral("＋１σの名称が直接変更できます。"));
    itemLcl3 = item("itemLcl3", QStringLiteral("－３σ"), QStringLiteral("－３σの名称が直接変更できます。"));
    itemLcl2 = item("itemLcl2", QStringLiteral("－２σ"), QStringLiteral("－２σの名称が直接変更できます。"));
    itemLcl1 = item("itemLcl1", QStringLiteral("－１σ"), QStringLiteral("－１σの名称が直接変更できます。"));
    itemXcl = item("itemXcl", QStringLiteral("平均値"), QStringLiteral("X側平均値の名称が直接変更できます。"));
    itemRcl = item("itemRcl", QStringLiteral("平均値"), QStringLiteral("R/S側-平均値が直接変更できます。"));
    itemRsUcl3 = item("itemRsUcl3", QStringLiteral("＋３σ"), QStringLiteral("R/S＋３σが直接変更できます。"));
    cbUcl3 = makeBox("cbUcl3");
    cbUcl2 = makeBox("cbUcl2");
    cbUcl1 = makeBox("cbUcl1");
    cbLcl3 = makeBox("cbLcl3");
    cbLcl2 = makeBox("cbLcl2");
    cbLcl1 = makeBox("cbLcl1");
    cbXcl = makeBox("cbXcl");
    cbRcl = makeBox("cbRcl");
    cbRsUcl3 = makeBox("cbRsUcl3");
    editRsUcl2->hide();
    editRsUcl1->hide();
}

// The lines laid out: the X side in three columns, the R/S side beside it.
void LimitPanel::layOutLines(QGridLayout& lg)
{
    // Each limit field is named by the text of its line name field.
    struct Line {
        QCheckBox* box;
        TEdit* name;
        TEdit* value;
    };
    const Line xSide[] = {{cbUcl3, itemUcl3, editUcl3}, {cbUcl2, itemUcl2, editUcl2}, {cbUcl1, itemUcl1, editUcl1},
                          {cbXcl, itemXcl, editXcl},    {cbLcl1, itemLcl1, editLcl1}, {cbLcl2, itemLcl2, editLcl2},
                          {cbLcl3, itemLcl3, editLcl3}};
    const Line rSide[] = {{cbRsUcl3, itemRsUcl3, editRsUcl3}, {cbRcl, itemRcl, editRcl}};
    lg.addWidget(new QLabel(QStringLiteral("▲Xbar側"), this), 0, 1, 1, 3);
    int row = 1;
    for (const Line& l : xSide) {
        l.value->setAccessibleName(l.value->toolTip());
        l.box->setAccessibleName(l.name->text());
        lg.addWidget(l.box, row, 1);
        lg.addWidget(l.name, row, 2);
        lg.addWidget(l.value, row, 3);
        ++row;
    }
    lg.addWidget(new QLabel(QStringLiteral("▼R/S側"), this), 0, 4, 1, 3);
    row = 1;
    for (const Line& l : rSide) {
        l.box->setAccessibleName(l.name->text());
        lg.addWidget(l.box, row, 4);
        lg.addWidget(l.name, row, 5);
        lg.addWidget(l.value, row, 6);
        ++row;
    }
    lg.addWidget(editRsUcl2, row, 6);
    lg.addWidget(editRsUcl1, row + 1, 6);
}

// Alignment, input method and key filter of each field.
void LimitPanel::setupInput()
{
    for (QLineEdit* e :
         std::initializer_list<QLineEdit*>{editUcl3, editUcl2, editUcl1, editLcl3, editLcl2, editLcl1, editRsUcl3,
                                           editRsUcl2, editRsUcl1, editXcl, editRcl, spinBetWeen})
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLineEdit* e : std::initializer_list<QLineEdit*>{itemUcl3, itemUcl2, itemUcl1, itemLcl3, itemLcl2, itemLcl1,
                                                          itemRsUcl3, itemXcl, itemRcl})
        e->setAlignment(Qt::AlignCenter);
    // Input method: open for line names, closed for numbers and lists.
    for (QWidget* w :
         std::initializer_list<QWidget*>{editUcl3, editUcl2, editUcl1, editLcl3, editLcl2, editLcl1, editXcl, editRcl,
                                         editRsUcl3, editRsUcl2, editRsUcl1, cmbChart, cmbLimit})
        w->setAttribute(Qt::WA_InputMethodEnabled, false);
    for (TEdit* e : {itemUcl3, itemUcl2, itemUcl1, itemLcl3, itemLcl2, itemLcl1, itemXcl, itemRcl, itemRsUcl3})
        e->keyFilter = NameKey;
    for (TEdit* e : {editXcl, editUcl1, editUcl2, editUcl3, editRcl, editRsUcl1, editRsUcl2, editRsUcl3, editLcl1,
                     editLcl2, editLcl3})
        e->keyFilter = NumericKey;
    spinBetWeen->keyFilter = DecimalsKey;
}

// The controls write into the session; the panel's signals follow them.
void LimitPanel::bindSession()
{
    BindIndex(cmbChart, [this](int i) { session_.setChartKind(ChartKindOfIndex(i)); });
    BindIndex(cmbLimit, [this](int i) { session_.setLimitMethod(LimitMethodOfIndex(i)); });
    for (int f = 0; f < kLimitFields; ++f)
        BindText(field(f), [this, f](std::string t) { session_.setLimit(f, std::move(t)); });
    for (int line = 0; line < kVisibleLimitLines; ++line) {
        BindCheck(box(line), [this, line](bool on) { session_.setLineAutomatic(line, on); });
        BindText(name(line), [this, line](std::string t) { session_.setLineName(line, std::move(t)); });
    }
    BindText(spinBetWeen, [this](std::string t) { session_.setHistogramClasses(std::move(t)); });

    connect(cmbChart, &QComboBox::activated, this, &LimitPanel::chartChosen);
    connect(cmbLimit, &QComboBox::activated, this, &LimitPanel::methodChosen);
    connect(btn3Stdev, &QPushButton::clicked, this, &LimitPanel::computeClicked);
    for (int line = 0; line < kVisibleLimitLines; ++line)
        connect(box(line), &QCheckBox::toggled, this, [this, line] { emit lineToggled(line); });
    // Typing announces the edit before the new text reaches the session:
    // the session takes it first, then the hidden lines follow it.
    for (int f : {LimitRcl, LimitRsUcl3})
        connect(field(f), &QLineEdit::textEdited, this, [this, f](const QString& t) {
            session_.setLimit(f, t.toStdString());
            emit rsLineTyped();
        });
}

std::vector<QWidget*> LimitPanel::fields() const
{
    return {cmbChart, cmbLimit, spinBetWeen, editUcl3,   editUcl2,   editUcl1,   editLcl3,  editLcl2,
            editLcl1, editXcl,  editRcl,     editRsUcl3, editRsUcl2, editRsUcl1, itemUcl3,  itemUcl2,
            itemUcl1, itemLcl3, itemLcl2,    itemLcl1,   itemXcl,    itemRcl,    itemRsUcl3};
}

QCheckBox* LimitPanel::box(int line) const
{
    QCheckBox* const boxes[kVisibleLimitLines] = {cbUcl3, cbUcl2, cbUcl1, cbLcl3,  cbLcl2,
                                                  cbLcl1, cbXcl,  cbRcl,  cbRsUcl3};
    return boxes[line];
}

TEdit* LimitPanel::field(int f) const
{
    TEdit* const fields[kLimitFields] = {editUcl3, editUcl2, editUcl1,   editLcl3,   editLcl2,  editLcl1,
                                         editXcl,  editRcl,  editRsUcl3, editRsUcl2, editRsUcl1};
    return fields[f];
}

TEdit* LimitPanel::name(int line) const
{
    TEdit* const names[kVisibleLimitLines] = {itemUcl3, itemUcl2, itemUcl1, itemLcl3,  itemLcl2,
                                              itemLcl1, itemXcl,  itemRcl,  itemRsUcl3};
    return names[line];
}

int LimitPanel::chartIndex() const
{
    return cmbChart->currentIndex();
}

void LimitPanel::setChartIndex(int index)
{
    cmbChart->setCurrentIndex(index);
}

void LimitPanel::setMethod(int index, bool quietly)
{
    if (!quietly) {
        cmbLimit->setCurrentIndex(index);
        return;
    }
    {
        const QSignalBlocker block(cmbLimit);
        cmbLimit->setCurrentIndex(index);
    }
    // The list tells no one, but the session holds what it shows.
    session_.setLimitMethod(LimitMethodOfIndex(index));
}

bool LimitPanel::lineChecked(int line) const
{
    return box(line)->isChecked();
}

void LimitPanel::setLineChecked(int line, bool on)
{
    box(line)->setChecked(on);
}

void LimitPanel::showLineLook(int line, bool automatic)
{
    const QColor colour = automatic ? window()->palette().color(QPalette::Button) : kFieldNormalColor;
    for (TEdit* e : {field(line), name(line)}) {
        e->setReadOnly(automatic);
        e->setFieldColor(colour);
        e->setFocusPolicy(automatic ? Qt::ClickFocus : Qt::StrongFocus);
    }
}

void LimitPanel::setLineState(int line, bool automatic)
{
    showLineLook(line, automatic);
    const auto& names = automatic ? kThreeSigmaLineNames : kTypedLineNames;
    name(line)->setText(QString::fromUtf8(names[static_cast<size_t>(line)]));
}

void LimitPanel::setLinesCheckedQuietly(bool on)
{
    for (int line = 0; line < kVisibleLimitLines; ++line) {
        {
            const QSignalBlocker block(box(line));
            box(line)->setChecked(on);
        }
        session_.setLineAutomatic(line, on);
    }
}

void LimitPanel::showSession()
{
    {
        const QSignalBlocker chart(cmbChart);
        const QSignalBlocker method(cmbLimit);
        cmbChart->setCurrentIndex(IndexOf(session_.chartKind()));
        cmbLimit->setCurrentIndex(IndexOf(session_.limitMethod()));
    }
    showLimits();
    for (int line = 0; line < kVisibleLimitLines; ++line) {
        const bool automatic = session_.lineAutomatic()[static_cast<size_t>(line)];
        {
            const QSignalBlocker block(box(line));
            box(line)->setChecked(automatic);
        }
        showLineLook(line, automatic);
        name(line)->setText(QString::fromStdString(session_.lineNames()[static_cast<size_t>(line)]));
    }
    showChartKind(IndexOf(session_.chartKind()));
}

void LimitPanel::focusLine(int line)
{
    field(line)->setFocus();
}

void LimitPanel::showLimits(int line)
{
    for (int f = 0; f < kLimitFields; ++f) {
        const bool hidden = f == LimitRsUcl2 || f == LimitRsUcl1;
        if (line == kEveryLimitField || f == line || hidden)
            SetWholeText(field(f), QString::fromStdString(session_.limit(f)));
    }
}

void LimitPanel::showHiddenLines()
{
    for (int f : {LimitRsUcl2, LimitRsUcl1})
        SetWholeText(field(f), QString::fromStdString(session_.limit(f)));
}

void LimitPanel::showChartKind(int kind)
{
    const QString side = QString::fromUtf8(SpreadSideName(kind));
    editRsUcl3->setToolTip(QStringLiteral("「%1-管理限界上限値」を入力してください。").arg(side));
    editRcl->setToolTip(QStringLiteral("「%1-平均値」を入力してください。").arg(side));
    editRsUcl3->setAccessibleName(editRsUcl3->toolTip());
    editRcl->setAccessibleName(editRcl->toolTip());
}

bool LimitPanel::isLimitField(const QWidget* w) const
{
    for (int f = 0; f < kLimitFields; ++f)
        if (w == field(f))
            return true;
    return false;
}

bool LimitPanel::normalise(QWidget* w)
{
    if (w == spinBetWeen) {
        spinBetWeen->clampOnExit();
        return true;
    }
    if (!isLimitField(w))
        return false;
    auto* e = static_cast<TEdit*>(w);
    const std::string t = e->text().toStdString();
    if (IsBlank(t))
        return true;
    const bool typed = e->isModified();
    // The rewritten text may be longer than the typing limit; it is shown whole.
    SetWholeText(e, QString::fromStdString(FormatFixed(StrToFloat(t), 4)));
    // The hidden lines follow the rounded text as it is now shown.
    if (typed && (e == editRcl || e == editRsUcl3))
        emit rsLineTyped();
    return true;
}

}  // namespace trevolo
