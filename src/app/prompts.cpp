#include "app/prompts.h"

#include "store/store_engine.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace trevolo {

namespace {
QtPrompts g_qt;
Prompts* g_current = nullptr;
}  // namespace

Prompts& Prompts::current()
{
    return g_current ? *g_current : static_cast<Prompts&>(g_qt);
}

void Prompts::install(Prompts* p)
{
    g_current = p;
}

QString SplitDetails(const QString& text, QString* details)
{
    static const QString mark = QString::fromUtf8(kDetailsMark);
    if (!text.contains(mark))
        return text;
    QStringList kept;
    QStringList apart;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(mark))
            apart << line.mid(mark.size());
        else
            kept << line;
    }
    if (details)
        *details = apart.join(QLatin1Char('\n'));
    return kept.join(QLatin1Char('\n'));
}

namespace {

// A box with the text's details lines in its details part ("詳細").
int ShowBox(QMessageBox::Icon icon, QWidget* parent, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton fallback)
{
    QString details;
    QMessageBox box(icon, caption, SplitDetails(text, &details), buttons, parent);
    // Qt's button of the details part reads "詳細を表示..." in Japanese.
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.setDefaultButton(fallback);
    return box.exec();
}

}  // namespace

void QtPrompts::message(QWidget* parent, const QString& caption, const QString& text)
{
    ShowBox(QMessageBox::Warning, parent, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::inform(QWidget* parent, const QString& caption, const QString& text)
{
    ShowBox(QMessageBox::Information, parent, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtPrompts::question(QWidget* parent, const QString& caption, const QString& text)
{
    return ShowBox(QMessageBox::Warning, parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::No) == QMessageBox::Yes;
}

void QtPrompts::error(QWidget* parent, const QString& text)
{
    ShowBox(QMessageBox::Critical, parent, QApplication::applicationName(), text, QMessageBox::Ok, QMessageBox::Ok);
}

QString QtPrompts::openFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString QtPrompts::saveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, folder, filter);
}

QString QtPrompts::folder(QWidget* parent, const QString& title, const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, title, start);
}

bool QtPrompts::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

void ScriptedPrompts::message(QWidget*, const QString& caption, const QString& text)
{
    QString details;
    shown.push_back({Shown::Message, caption, SplitDetails(text, &details), details});
}

void ScriptedPrompts::inform(QWidget*, const QString& caption, const QString& text)
{
    QString details;
    shown.push_back({Shown::Information, caption, SplitDetails(text, &details), details});
}

bool ScriptedPrompts::question(QWidget*, const QString& caption, const QString& text)
{
    QString details;
    shown.push_back({Shown::Question, caption, SplitDetails(text, &details), details});
    if (answers.empty())
        return false;
    bool a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedPrompts::error(QWidget*, const QString& text)
{
    QString details;
    shown.push_back({Shown::Error, QString(), SplitDetails(text, &details), details});
}

QString ScriptedPrompts::openFile(QWidget*, const QString& title, const QString& folder, const QString& filter)
{
    shown.push_back({Shown::OpenFile, title, folder + QLatin1Char('|') + filter, QString()});
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

QString ScriptedPrompts::saveFile(QWidget*, const QString& title, const QString& folder, const QString& filter)
{
    shown.push_back({Shown::SaveFile, title, folder + QLatin1Char('|') + filter, QString()});
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

QString ScriptedPrompts::folder(QWidget*, const QString& title, const QString& start)
{
    shown.push_back({Shown::Folder, title, start, QString()});
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

bool ScriptedPrompts::openUrl(const QUrl& url)
{
    shown.push_back({Shown::Url, QString(), url.toString(), QString()});
    return true;
}

QStringList ScriptedPrompts::texts() const
{
    QStringList out;
    for (const auto& s : shown)
        if (s.kind == Shown::Message || s.kind == Shown::Question || s.kind == Shown::Error ||
            s.kind == Shown::Information)
            out << s.text;
    return out;
}

}  // namespace trevolo
