#pragma once
// The version dialog "バージョン情報" and the addresses the help menu opens.
#include <QDialog>

#include "model/comtype.h"

class QFrame;
class QLabel;
class QPushButton;

namespace trevolo {

// The maker's home page, opened by "著作権者ホームページ(&H)".
inline constexpr const char* kHomePageUrl = "https://www.example.com/trevolo/";

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    // Shows the dialog modally with the given program version.
    void execFor(const ProgramVersion& version);
    // The version shown at the next showing.
    void setVersion(const ProgramVersion& version) { version_ = version; }

    // On showing: "Version " followed by the file version text.
    void FormShow();

    QFrame* pnlBevel;
    QLabel* ProgramIcon;
    QLabel* lblAppName;
    QLabel* lblVersion;
    QLabel* lblProductName;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QPushButton* OKButton;

protected:
    void showEvent(QShowEvent* e) override;

private:
    ProgramVersion version_;
};

// The program icon, 32 x 32: a small control chart.
QPixmap ProgramIconPixmap();

}  // namespace trevolo
