#pragma once
// The dialogs of the plant's alarms: the list of a characteristic's alarms
// with their answers ("アラーム一覧"), the answer to one ("対応を記録") and
// the engineer's cause and action lists ("原因・処置リスト"); and the words
// an alarm is shown in.
#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "model/comtype.h"
#include "store/store_records.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace trevolo {

// The cause offered besides the list: the inspector types the cause.
inline constexpr const char* kOtherCause = "その他";

// The name of an alarm's chart: "X", or the spread chart's ("R", "S",
// "Rs") for side 1.
std::string AlarmChartName(int side, const std::string& spread);
// The mark of an alarm as the SPC table titles its column ("X②", "Rs①").
std::string AlarmMark(int rule, int side, const std::string& spread);
// The rule in the words of the SPC judgment, its run lengths filled in:
// "X ②9点が中心値に対して同じ側にある".
std::string AlarmRuleText(int rule, int side, const std::string& spread, const RuleOptions& options);
// A server time (milliseconds since 1970) as the window shows it, local.
QString StoreTimeText(std::int64_t millis);
// An answer in one line: "原因 / 処置 / コメント（who, time）".
QString AnswerText(const AlarmAnswer& answer);
// The cause an answer stores: the entry chosen, or for "その他" the text
// typed after it; empty when "その他" has no text.
std::string AnswerCause(const std::string& chosen, const std::string& otherText);

// One alarm as the list shows it.
struct AlarmRow {
    Alarm alarm;
    QString rule;    // AlarmRuleText
    QString lots;    // the labels of its lots, oldest first
};

// "アラーム一覧": each alarm of the followed characteristic, newest first,
// with its rule, its lots, when it was found and its newest answer; the
// earlier answers show under it. "対応を記録" answers the selected alarm.
class AlarmListDialog : public QDialog {
    Q_OBJECT
public:
    explicit AlarmListDialog(QWidget* parent);
    void setRows(const std::vector<AlarmRow>& rows);
    // The alarm selected, or 0.
    std::int64_t selectedAlarm() const;
    void select(std::int64_t alarmSeq);

signals:
    void answerRequested(std::int64_t alarmSeq);

private:
    QTreeWidget* list_;
    QPushButton* answer_;
};

// "対応を記録": a cause from the list or "その他" with its text, an action
// from the list (typed when the list is empty), and a comment.
class AlarmAnswerDialog : public QDialog {
    Q_OBJECT
public:
    AlarmAnswerDialog(const QString& alarmText, const std::vector<std::string>& causes,
                      const std::vector<std::string>& actions, QWidget* parent);
    // The answer as filled in (alarmSeq left 0).
    AlarmAnswer answer() const;

private:
    void check();

    QComboBox* cause_;
    QLineEdit* otherCause_;
    QComboBox* action_;
    QLineEdit* comment_;
    QPushButton* ok_;
};

// "原因・処置リスト": the cause and action lists of a product, or of the
// whole plant, one entry a line. load is asked for the lists of a product
// ('' = the plant) whenever another one is chosen.
class ReasonListsDialog : public QDialog {
    Q_OBJECT
public:
    ReasonListsDialog(const std::vector<std::string>& products, const std::string& product, QWidget* parent);
    // The product chosen, '' for the whole plant.
    std::string product() const;
    void setLists(const std::vector<std::string>& causes, const std::vector<std::string>& actions);
    std::vector<std::string> causes() const;
    std::vector<std::string> actions() const;

signals:
    void productChosen(const QString& product);

private:
    QComboBox* product_;
    QPlainTextEdit* causes_;
    QPlainTextEdit* actions_;
};

}  // namespace trevolo
