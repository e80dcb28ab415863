#include "app/option_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QVBoxLayout>

#include "app/fields.h"
#include "app/prompts.h"
#include "spc/rule_options.h"

namespace trevolo {

namespace {

void SetFieldColor(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, c);
    p.setColor(QPalette::Button, c);
    p.setColor(QPalette::Window, c);
    w->setPalette(p);
}

// The pieces of a rule caption between the blanks where the lists sit.
QStringList CaptionPieces(const char* caption)
{
    static const QRegularExpression blanks(QStringLiteral(" {2,}"));
    return QString::fromUtf8(caption).split(blanks);
}

}  // namespace

TOptionForm::TOptionForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("OptionForm"));
    setWindowTitle(QString::fromUtf8(kOptionFormCaption));
    QFont f = font();
    f.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                   QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP")});
    setFont(f);

    GroupBox1 = new QGroupBox(QString::fromUtf8(kRuleGroupCaption), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(GroupBox1);

    QCheckBox** checkMembers[8] = {&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4,
                                   &CheckBox5, &CheckBox6, &CheckBox7, &CheckBox8};
    QLabel** labelMembers[8] = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6, &Label7, &Label8};
    QComboBox** listMembers[kRuleListCount] = {&cmbOption2,   &cmbOption3,   &cmbOption4, &cmbOption5_1, &cmbOption5_2,
                                               &cmbOption6_1, &cmbOption6_2, &cmbOption7, &cmbOption8};

    for (int rule = 1; rule <= 8; ++rule) {
        const QStringList pieces = CaptionPieces(kRuleCaptions[rule - 1]);
        const QString spoken = pieces.join(QLatin1Char(' '));

        auto* check = new QCheckBox(GroupBox1);
        check->setObjectName(QStringLiteral("CheckBox%1").arg(rule));
        check->setChecked(true);
        check->setAccessibleName(spoken);
        *checkMembers[rule - 1] = check;
        checks_[static_cast<size_t>(rule - 1)] = check;

        auto* row = new QHBoxLayout;
        row->setSpacing(4);
        auto* label = new QLabel(pieces.value(0), GroupBox1);
        label->setObjectName(QStringLiteral("Label%1").arg(rule));
        label->setBuddy(check);
        *labelMembers[rule - 1] = label;
        labels_[static_cast<size_t>(rule - 1)] = label;
        row->addWidget(label);

        // The lists of this rule, in the blanks of its caption.
        int piece = 1;
        for (int li = 0; li < kRuleListCount; ++li) {
            const RuleListInfo& info = kRuleLists[static_cast<size_t>(li)];
            if (info.rule != rule)
                continue;
            auto* box = new QComboBox(GroupBox1);
            box->setObjectName(QString::fromLatin1(info.control));
            box->setEditable(false);
            box->setFocusPolicy(Qt::ClickFocus);  // not in the tab order
            for (int item : info.items)
                box->addItem(QString::number(item));
            // Spoken as the caption around it: "⑤連続する 点中、", "⑤ 点が > 2シグマ".
            const QString before = info.slot == 0 ? pieces.value(0) : pieces.value(0).left(1);
            box->setAccessibleName(before + QLatin1Char(' ') + pieces.value(piece));
            SetFieldColor(box, kFieldNormalColor);
            box->installEventFilter(this);
            *listMembers[li] = box;
            lists_[static_cast<size_t>(li)] = box;
            row->addWidget(box);

            auto* after = new QLabel(pieces.value(piece), GroupBox1);
            after->setObjectName(QStringLiteral("Label%1_%2").arg(rule).arg(piece + 1));
            after->setAccessibleName(pieces.value(piece));
            row->addWidget(after);
            ++piece;
        }
        row->addStretch(1);
        grid->addWidget(check, rule - 1, 0);
        grid->addLayout(row, rule - 1, 1);
    }

    btnOk = new QPushButton(QStringLiteral("ＯＫ"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setAccessibleName(btnOk->text());
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAccessibleName(btnCancel->text());
    btnDefault = new QPushButton(QStringLiteral("初期値に戻す"), this);
    btnDefault->setObjectName(QStringLiteral("btnDefault"));
    btnDefault->setAccessibleName(btnDefault->text());
    btnDefault->setFocusPolicy(Qt::ClickFocus);  // not in the tab order
    btnDefault->setAutoDefault(false);

    connect(btnOk, &QPushButton::clicked, this, &TOptionForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TOptionForm::btnCancelClick);
    connect(btnDefault, &QPushButton::clicked, this, &TOptionForm::btnDefaultClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnDefault);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto* top = new QVBoxLayout(this);
    top->addWidget(GroupBox1);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    // Tab order: the eight check boxes, then OK and Cancel.
    QWidget* previous = CheckBox1;
    for (QWidget* w :
         {static_cast<QWidget*>(CheckBox2), static_cast<QWidget*>(CheckBox3), static_cast<QWidget*>(CheckBox4),
          static_cast<QWidget*>(CheckBox5), static_cast<QWidget*>(CheckBox6), static_cast<QWidget*>(CheckBox7),
          static_cast<QWidget*>(CheckBox8), static_cast<QWidget*>(btnOk), static_cast<QWidget*>(btnCancel)}) {
        setTabOrder(previous, w);
        previous = w;
    }
}

bool TOptionForm::execFor(RuleOptions& options)
{
    FormShow(options);
    if (exec() != QDialog::Accepted)
        return false;
    options = options_;
    return true;
}

void TOptionForm::FormShow(const RuleOptions& options)
{
    options_ = options;
    for (int rule = 1; rule <= 8; ++rule)
        checkBox(rule)->setChecked(options.check(rule));
    for (int li = 0; li < kRuleListCount; ++li)
        list(li)->setCurrentIndex(RuleListItemIndex(li, RuleListValue(options, li)));
    CheckBox1->setFocus();
}

void TOptionForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    CheckBox1->setFocus();
}

void TOptionForm::btnDefaultClick()
{
    for (int li = 0; li < kRuleListCount; ++li)
        list(li)->setCurrentIndex(RuleListItemIndex(li, RuleListDefault(li)));
}

RuleOptions TOptionForm::fromControls() const
{
    RuleOptions o = options_;
    for (int rule = 1; rule <= 8; ++rule)
        o.setCheck(rule, checkBox(rule)->isChecked());
    for (int li = 0; li < kRuleListCount; ++li) {
        int value = 0;
        if (list(li)->currentIndex() >= 0)
            value = list(li)->currentText().toInt();
        RuleListValue(o, li) = value;
    }
    return o;
}

void TOptionForm::btnOkClick()
{
    const RuleOptions candidate = fromControls();
    if (const std::optional<int> wrong = ValidateRuleOptions(candidate)) {
        Prompts::current().message(this, QString::fromUtf8(kGuideCaption),
                                   QString::fromUtf8(kRuleOptionsInvalidMessage));
        list(*wrong)->setFocus();
        return;
    }
    options_ = candidate;
    accept();
}

void TOptionForm::btnCancelClick()
{
    reject();
}

void TOptionForm::cmbOption2Enter(QComboBox* box)
{
    SetFieldColor(box, kFieldFocusColor);
}

void TOptionForm::cmbOption2Exit(QComboBox* box)
{
    SetFieldColor(box, kFieldNormalColor);
}

bool TOptionForm::eventFilter(QObject* watched, QEvent* event)
{
    if (auto* box = qobject_cast<QComboBox*>(watched)) {
        if (event->type() == QEvent::FocusIn)
            cmbOption2Enter(box);
        else if (event->type() == QEvent::FocusOut)
            cmbOption2Exit(box);
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace trevolo
