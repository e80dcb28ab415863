#pragma once
// The please-wait window shown while the start-up and every long command work.
#include <QDialog>

class QLabel;
class QProgressBar;

namespace trevolo {

class TSplashForm : public QDialog {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);

    // Sets the text, shows the window (modeless) and paints it at once.
    void showText(const QString& text);
    QString text() const;
    // A command that works sheet by sheet shows how far it got: done of
    // total, in a bar under the text (hidden again by the next text).
    void showProgress(int done, int total);

    QLabel* lblTitle;
    QProgressBar* barProgress;
};

// Shows the window with a text and the busy cursor for the lifetime of the
// guard; both are restored on every path out of a command.
class BusyFrame {
public:
    BusyFrame(TSplashForm* splash, const QString& text);
    ~BusyFrame();
    BusyFrame(const BusyFrame&) = delete;
    BusyFrame& operator=(const BusyFrame&) = delete;

private:
    TSplashForm* splash_;
};

// The busy cursor alone, restored when the guard ends.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace trevolo
