#include "app/prompts.h"

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

void QtPrompts::message(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtPrompts::inform(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtPrompts::question(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtPrompts::error(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
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
    shown.push_back({Shown::Message, caption, text});
}

void ScriptedPrompts::inform(QWidget*, const QString& caption, const QString& text)
{
    shown.push_back({Shown::Information, caption, text});
}

bool ScriptedPrompts::question(QWidget*, const QString& caption, const QString& text)
{
    shown.push_back({Shown::Question, caption, text});
    if (answers.empty())
        return false;
    bool a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedPrompts::error(QWidget*, const QString& text)
{
    shown.push_back({Shown::Error, QString(), text});
}

QString ScriptedPrompts::openFile(QWidget*, const QString& title, const QString& folder, const QString& filter)
{
    shown.push_back({Shown::OpenFile, title, folder + QLatin1Char('|') + filter});
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

QString ScriptedPrompts::saveFile(QWidget*, const QString& title, const QString& folder, const QString& filter)
{
    shown.push_back({Shown::SaveFile, title, folder + QLatin1Char('|') + filter});
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

QString ScriptedPrompts::folder(QWidget*, const QString& title, const QString& start)
{
    shown.push_back({Shown::Folder, title, start});
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

bool ScriptedPrompts::openUrl(const QUrl& url)
{
    shown.push_back({Shown::Url, QString(), url.toString()});
    return true;
}

QStringList ScriptedPrompts::texts() const
{
    QStringList out;
    for (const auto& s : shown)
        if (s.kind == Shown::Message || s.kind == Shown::Question || s.kind == Shown::Error)
            out << s.text;
    return out;
}

}  // namespace trevolo
