// The dialogs of the plant's alarms and the words an alarm is shown in.
#include "app/alarm_dialogs.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "spc/rule_engine.h"
#include "spc/rule_options.h"
#include "store/qt_text.h"

namespace trevolo {

namespace {

constexpr char kPlantWide[] = "工場全体";

std::vector<std::string> LinesOf(const QPlainTextEdit* edit)
{
    std::vector<std::string> lines;
    for (const QString& line : edit->toPlainText().split(QLatin1Char('\n'))) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty())
            lines.push_back(entry.toStdString());
    }
    return lines;
}

QString TextOf(const std::vector<std::string>& lines)
{
    QStringList out;
    for (const std::string& line : lines)
        out << ToQString(line);
    return out.join(QLatin1Char('\n'));
}

}  // namespace

std::string AlarmChartName(int side, const std::string& spread)
{
    return side == 0 ? std::string("X") : spread;
}

std::string AlarmMark(int rule, int side, const std::string& spread)
{
    if (rule < 1 || rule > kSpcRuleCount)
        return AlarmChartName(side, spread) + '?';
    return AlarmChartName(side, spread) + kSpcRuleMarks[static_cast<size_t>(rule - 1)];
}

std::string AlarmRuleText(int rule, int side, const std::string& spread, const RuleOptions& options)
{
    if (rule < 1 || rule > kSpcRuleCount)
        return AlarmMark(rule, side, spread);
    // Each run of two or more spaces in the caption is where a list of the
    // rule's row sits: the first run holds its first list, the second its
    // second (a single space is the caption's own, as in " > ").
    std::vector<int> values;
    for (int slot = 0; slot < 2; ++slot)
        for (int list = 0; list < kRuleListCount; ++list)
            if (kRuleLists[static_cast<size_t>(list)].rule == rule && kRuleLists[static_cast<size_t>(list)].slot == slot)
                values.push_back(RuleListValue(options, list));
    const std::string caption = kRuleCaptions[rule - 1];
    std::string text = AlarmChartName(side, spread) + ' ';
    size_t next = 0;
    for (size_t i = 0; i < caption.size();) {
        size_t end = i;
        while (end < caption.size() && caption[end] == ' ')
            ++end;
        if (end - i < 2) {
            text += caption[i++];
            continue;
        }
        i = end;
        if (next < values.size())
            text += std::to_string(values[next++]);
    }
    return text;
}

QString StoreTimeText(std::int64_t millis)
{
    return QDateTime::fromMSecsSinceEpoch(millis).toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString AnswerText(const AlarmAnswer& a)
{
    QString text = ToQString(a.cause) + QStringLiteral(" / ") + ToQString(a.action);
    if (!a.comment.empty())
        text += QStringLiteral(" / ") + ToQString(a.comment);
    return text + QStringLiteral("（%1, %2）").arg(ToQString(a.answeredBy), StoreTimeText(a.answeredAt));
}

std::string AnswerCause(const std::string& chosen, const std::string& otherText)
{
    if (chosen != kOtherCause)
        return chosen;
    const QString typed = ToQString(otherText).trimmed();
    return typed.isEmpty() ? std::string() : std::string(kOtherCause) + "：" + typed.toStdString();
}

AlarmListDialog::AlarmListDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgAlarms"));
    setWindowTitle(QStringLiteral("アラーム一覧"));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("lstAlarms"));
    list_->setAccessibleName(QStringLiteral("アラーム"));
    list_->setHeaderLabels({QStringLiteral("No."), QStringLiteral("判定"), QStringLiteral("ロット"),
                            QStringLiteral("検出日時"), QStringLiteral("対応")});
    list_->setRootIsDecorated(true);
    list_->setAlternatingRowColors(true);
    list_->header()->setStretchLastSection(true);
    answer_ = new QPushButton(QStringLiteral("対応を記録(&A)"), this);
    answer_->setObjectName(QStringLiteral("btnAlarmAnswer"));
    answer_->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("btnAlarmsClose"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(answer_);
    buttons->addWidget(close);
    auto* v = new QVBoxLayout(this);
    v->addWidget(list_, 1);
    v->addLayout(buttons);
    resize(860, 420);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { answer_->setEnabled(selectedAlarm() != 0); });
    connect(answer_, &QPushButton::clicked, this, [this] {
        if (const std::int64_t seq = selectedAlarm())
            emit answerRequested(seq);
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (const std::int64_t seq = selectedAlarm())
            emit answerRequested(seq);
    });
}

void AlarmListDialog::setRows(const std::vector<AlarmRow>& rows)
{
    const std::int64_t selected = selectedAlarm();
    list_->clear();
    // Newest first: the alarm just found is at the top.
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const Alarm& a = row->alarm;
        auto* item = new QTreeWidgetItem(list_);
        item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(a.seq));
        item->setText(0, QString::number(a.seq));
        item->setText(1, row->rule);
        item->setText(2, row->lots);
        item->setText(3, StoreTimeText(a.foundAt));
        item->setText(4, a.answers.empty() ? QStringLiteral("未対応") : AnswerText(a.answers.back()));
        if (a.answers.empty())
            item->setForeground(4, Qt::red);
        // The earlier answers, newest first, under the alarm.
        for (size_t i = a.answers.size(); i-- > 1;) {
            auto* earlier = new QTreeWidgetItem(item);
            earlier->setText(3, StoreTimeText(a.answers[i - 1].answeredAt));
            earlier->setText(4, AnswerText(a.answers[i - 1]));
        }
    }
    for (int c = 0; c < 4; ++c)
        list_->resizeColumnToContents(c);
    select(selected);
}

std::int64_t AlarmListDialog::selectedAlarm() const
{
    QTreeWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected())
        return 0;
    while (item->parent())
        item = item->parent();
    return item->data(0, Qt::UserRole).toLongLong();
}

void AlarmListDialog::select(std::int64_t alarmSeq)
{
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toLongLong() == alarmSeq) {
            list_->setCurrentItem(item);
            return;
        }
    }
    answer_->setEnabled(false);
}

AlarmAnswerDialog::AlarmAnswerDialog(const QString& alarmText, const std::vector<std::string>& causes,
                                     const std::vector<std::string>& actions, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgAlarmAnswer"));
    setWindowTitle(QStringLiteral("対応を記録"));
    auto* what = new QLabel(alarmText, this);
    what->setObjectName(QStringLiteral("lblAlarm"));
    what->setWordWrap(true);
    cause_ = new QComboBox(this);
    cause_->setObjectName(QStringLiteral("cmbAlarmCause"));
    for (const std::string& c : causes)
        cause_->addItem(ToQString(c));
    cause_->addItem(QString::fromUtf8(kOtherCause));
    cause_->setCurrentIndex(-1);
    otherCause_ = new QLineEdit(this);
    otherCause_->setObjectName(QStringLiteral("editAlarmCauseOther"));
    otherCause_->setAccessibleName(QStringLiteral("その他の原因"));
    otherCause_->setEnabled(false);
    action_ = new QComboBox(this);
    action_->setObjectName(QStringLiteral("cmbAlarmAction"));
    for (const std::string& a : actions)
        action_->addItem(ToQString(a));
    // Without a list the action is typed.
    action_->setEditable(actions.empty());
    action_->setCurrentIndex(-1);
    comment_ = new QLineEdit(this);
    comment_->setObjectName(QStringLiteral("editAlarmComment"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("原因(&C):"), cause_);
    form->addRow(QStringLiteral("その他の原因:"), otherCause_);
    form->addRow(QStringLiteral("処置(&T):"), action_);
    form->addRow(QStringLiteral("コメント(&M):"), comment_);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = box->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("btnAlarmAnswerOk"));
    ok_->setText(QStringLiteral("記録"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    auto* v = new QVBoxLayout(this);
    v->addWidget(what);
    v->addLayout(form);
    v->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cause_, &QComboBox::currentIndexChanged, this, [this] {
        otherCause_->setEnabled(cause_->currentText() == QString::fromUtf8(kOtherCause));
        check();
    });
    connect(otherCause_, &QLineEdit::textChanged, this, &AlarmAnswerDialog::check);
    connect(action_, &QComboBox::currentTextChanged, this, &AlarmAnswerDialog::check);
    check();
}

void AlarmAnswerDialog::check()
{
    const AlarmAnswer a = answer();
    ok_->setEnabled(!a.cause.empty() && !a.action.empty());
}

AlarmAnswer AlarmAnswerDialog::answer() const
{
    AlarmAnswer a;
    a.cause = AnswerCause(cause_->currentText().toStdString(), otherCause_->text().toStdString());
    a.action = action_->currentText().trimmed().toStdString();
    a.comment = comment_->text().trimmed().toStdString();
    return a;
}

ReasonListsDialog::ReasonListsDialog(const std::vector<std::string>& products, const std::string& product,
                                     QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgReasonLists"));
    setWindowTitle(QStringLiteral("原因・処置リスト"));
    product_ = new QComboBox(this);
    product_->setObjectName(QStringLiteral("cmbReasonProduct"));
    product_->addItem(QString::fromUtf8(kPlantWide), QString());
    for (const std::string& p : products)
        product_->addItem(ToQString(p), ToQString(p));
    product_->setCurrentIndex(std::max(0, product_->findData(ToQString(product))));
    causes_ = new QPlainTextEdit(this);
    causes_->setObjectName(QStringLiteral("editCauses"));
    causes_->setAccessibleName(QStringLiteral("原因リスト"));
    actions_ = new QPlainTextEdit(this);
    actions_->setObjectName(QStringLiteral("editActions"));
    actions_->setAccessibleName(QStringLiteral("処置リスト"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("品種(&P):"), product_);
    form->addRow(QStringLiteral("原因（1行に1項目）:"), causes_);
    form->addRow(QStringLiteral("処置（1行に1項目）:"), actions_);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnReasonListsOk"));
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("保存"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(product_, &QComboBox::currentIndexChanged, this,
            [this] { emit productChosen(product_->currentData().toString()); });
}

std::string ReasonListsDialog::product() const
{
    return product_->currentData().toString().toStdString();
}

void ReasonListsDialog::setLists(const std::vector<std::string>& causes, const std::vector<std::string>& actions)
{
    causes_->setPlainText(TextOf(causes));
    actions_->setPlainText(TextOf(actions));
}

std::vector<std::string> ReasonListsDialog::causes() const
{
    return LinesOf(causes_);
}

std::vector<std::string> ReasonListsDialog::actions() const
{
    return LinesOf(actions_);
}

}  // namespace trevolo
