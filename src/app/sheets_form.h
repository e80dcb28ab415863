#pragma once
// The sheet-count dialog: asks for the number of sheets (1..100).
#include <QDialog>

class QLabel;
class QPushButton;

namespace trevolo {

class TSpinEdit;

class TSheetsForm : public QDialog {
    Q_OBJECT
public:
    explicit TSheetsForm(QWidget* parent = nullptr);

    QLabel* lblTab;
    TSpinEdit* spinTab;
    QPushButton* btnOk;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // The clamp of the count when the field is left: into 1..100, except
    // that an empty text stays empty.
    void clampCount();
};

}  // namespace trevolo
