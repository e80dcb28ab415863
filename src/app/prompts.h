#pragma once
// Every message box, file dialog, folder dialog and shell-open of the program
// goes through this one small interface. The program uses the Qt
// implementation; the tests install a scripted one that answers questions and
// picks file names, and records what was shown.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <stdexcept>
#include <vector>

class QWidget;

namespace trevolo {

// Fixed captions of the program's message boxes.
inline const char* const kGuideCaption = "ガイドメッセージ";
inline const char* const kWarningCaption = "警告メッセージ";

// Thrown by a command that stops at a guidance message: the command guard
// shows its text in the guidance box ("ガイドメッセージ"), and a command that
// ran the stopped one (a report running the judgments) stops there as well.
class GuidanceStop : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A box's text may carry lines that start with "詳細: " (the server's or a
// driver's own words): the box shows them apart, in its details part, and
// the rest as its text. Returns the rest; the details go to details.
QString SplitDetails(const QString& text, QString* details);

class Prompts {
public:
    virtual ~Prompts() = default;

    // Modal box with an exclamation icon and an OK button. Each box shows
    // the details lines of its text apart (SplitDetails).
    virtual void message(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Modal box with the information icon and an OK button: a success told.
    virtual void inform(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Modal box with an exclamation icon, Yes and No, No the default. True for Yes.
    virtual bool question(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The general error box of the program: an error a command did not catch.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // File dialogs; an empty result means the user cancelled. The filter uses
    // Qt's form ("Excelブック (*.xls *.xlsx)").
    virtual QString openFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter) = 0;
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter) = 0;
    virtual QString folder(QWidget* parent, const QString& title, const QString& start) = 0;
    // Opens a document or web address with the program the desktop associates with it.
    virtual bool openUrl(const QUrl& url) = 0;

    // The instance in force; the Qt implementation unless a test installed another.
    static Prompts& current();
    // Installs p (not owned); nullptr restores the Qt implementation.
    static void install(Prompts* p);
};

class QtPrompts final : public Prompts {
public:
    void message(QWidget* parent, const QString& caption, const QString& text) override;
    void inform(QWidget* parent, const QString& caption, const QString& text) override;
    bool question(QWidget* parent, const QString& caption, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    QString openFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter) override;
    QString folder(QWidget* parent, const QString& title, const QString& start) override;
    bool openUrl(const QUrl& url) override;
};

// For tests: answers come from queues (a question with no answer queued is
// answered No, a file dialog with none queued is cancelled); everything shown
// is recorded in order.
class ScriptedPrompts final : public Prompts {
public:
    struct Shown {
        enum Kind { Message, Question, Error, OpenFile, SaveFile, Folder, Url, Information } kind;
        QString caption;  // caption, or the dialog title
        QString text;     // text, or the folder / filter / address
        QString details;  // the box's details part (SplitDetails)
    };

    std::deque<bool> answers;
    std::deque<QString> files;
    std::vector<Shown> shown;

    void message(QWidget* parent, const QString& caption, const QString& text) override;
    void inform(QWidget* parent, const QString& caption, const QString& text) override;
    bool question(QWidget* parent, const QString& caption, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    QString openFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter) override;
    QString folder(QWidget* parent, const QString& title, const QString& start) override;
    bool openUrl(const QUrl& url) override;

    // Texts of every box shown (messages, questions and errors), in order,
    // without their details.
    QStringList texts() const;
};

// Installs a scripted instance for the lifetime of the guard.
class ScopedPrompts {
public:
    explicit ScopedPrompts(Prompts& p) { Prompts::install(&p); }
    ~ScopedPrompts() { Prompts::install(nullptr); }
    ScopedPrompts(const ScopedPrompts&) = delete;
    ScopedPrompts& operator=(const ScopedPrompts&) = delete;
};

}  // namespace trevolo
