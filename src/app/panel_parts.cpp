// Small pieces the window's panels are built from.
#include "app/panel_parts.h"

#include "app/fonts.h"

namespace trevolo {

namespace {

const QColor kLime(0, 255, 0);
const QColor kRed(255, 0, 0);

}  // namespace

QLabel* LabelPanel(const QString& text, QWidget* buddy, QWidget* parent, bool blue)
{
    auto* l = new QLabel(text, parent);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Raised);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(80);
    if (blue) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 255));
        l->setPalette(p);
    }
    if (buddy) {
        l->setBuddy(buddy);
        buddy->setAccessibleName(text);
    }
    return l;
}

QLabel* VerdictPanel(const char* name, QWidget* parent)
{
    auto* p = new QLabel(parent);
    p->setObjectName(QLatin1String(name));
    // A sunken border inside a frame line around the black panel.
    p->setFrameStyle(QFrame::Box | QFrame::Sunken);
    p->setLineWidth(1);
    p->setMidLineWidth(1);
    p->setAutoFillBackground(true);
    p->setAlignment(Qt::AlignCenter);
    p->setMinimumSize(120, 26);
    QFont f = GothicFont(18);
    f.setBold(true);
    p->setFont(f);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, kLime);
    p->setPalette(pal);
    p->setAccessibleName(QStringLiteral("総合判定結果"));
    return p;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

void ShowVerdict(QLabel* panel, const char* text)
{
    // The panel keeps its name, "総合判定結果"; the verdict is its
    // description, so a screen reader says both ("総合判定結果 合格").
    if (!*text) {
        panel->clear();
        panel->setAccessibleDescription(QString());
        return;
    }
    const QString t = QString::fromUtf8(text);
    if (panel->text() == t)
        return;
    panel->setText(t);
    panel->setAccessibleDescription(t);
    QPalette p = panel->palette();
    p.setColor(QPalette::WindowText, t == QStringLiteral("不合格") ? kRed : kLime);
    panel->setPalette(p);
}

void BindText(QLineEdit* e, std::function<void(std::string)> set)
{
    set(e->text().toStdString());
    QObject::connect(e, &QLineEdit::textChanged, e, [set](const QString& t) { set(t.toStdString()); });
}

void BindIndex(QComboBox* c, std::function<void(int)> set)
{
    set(c->currentIndex());
    QObject::connect(c, &QComboBox::currentIndexChanged, c, [set](int i) { set(i); });
}

void BindCheck(QCheckBox* b, std::function<void(bool)> set)
{
    set(b->isChecked());
    QObject::connect(b, &QCheckBox::toggled, b, [set](bool on) { set(on); });
}

}  // namespace trevolo
