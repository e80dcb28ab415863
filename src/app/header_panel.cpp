// The header panel of the main window.
#include "app/header_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>

#include "app/fields.h"
#include "app/fonts.h"
#include "app/panel_parts.h"
#include "model/comfunction.h"
#include "model/number.h"

namespace trevolo {

HeaderPanel::HeaderPanel(SheetSession& session, QWidget* parent)
    : QGroupBox(QStringLiteral("項目間情報設定"), parent), session_(session)
{
    setObjectName(QStringLiteral("grpSheetInfo"));
    auto* g = new QGridLayout(this);
    g->setContentsMargins(4, 2, 4, 2);
    g->setVerticalSpacing(2);
    auto edit = [this](const char* name, int maxLen, const QString& hint) {
        auto* e = new TEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(maxLen);
        e->setToolTip(hint);
        e->setFont(GothicFont(15));
        return e;
    };
    editProduct = edit("editProduct", 50, QStringLiteral("「品種名称」を入力してください。"));
    editProcess = edit("editProcess", 20, QStringLiteral("「工程名称」を入力してください。"));
    editMbc = edit("editMbc", 20, QStringLiteral("「装置名称」を入力してください。"));
    editLabel = edit("editLabel", 20, QStringLiteral("「項目名称」を入力してください。"));
    editUnit = edit("editUnit", 10, QStringLiteral("「測定単位」を入力してください。"));
    cmbSpecKind = new QComboBox(this);
    cmbSpecKind->setObjectName(QStringLiteral("cmbSpecKind"));
    for (const char* t : kSpecKindTexts)
        cmbSpecKind->addItem(QString::fromUtf8(t));
    cmbSpecKind->setToolTip(QStringLiteral("「規格種別」を選択してください。"));
    spinKeta = new TSpinEdit(0, 5, this);
    spinKeta->setObjectName(QStringLiteral("spinKeta"));
    spinKeta->setMaxLength(1);
    spinKeta->setText(QStringLiteral("3"));
    spinKeta->setFont(GothicFont(15));
    spinKeta->setToolTip(QStringLiteral("「小数点以下桁数」を０～５の範囲で設定してください。"));
    editKupper = edit("editKupper", 15, QStringLiteral("「規格上限値」を入力してください。"));
    editKlower = edit("editKlower", 15, QStringLiteral("「規格下限値」を入力してください。"));
    btnSpecClear = Button("btnSpecClear", QStringLiteral("クリア"), this);

    g->addWidget(LabelPanel(QStringLiteral("品種名称"), editProduct, this), 0, 0);
    g->addWidget(editProduct, 0, 1, 1, 3);
    g->addWidget(LabelPanel(QStringLiteral("工程名称"), editProcess, this), 1, 0);
    g->addWidget(editProcess, 1, 1);
    g->addWidget(LabelPanel(QStringLiteral("装置名称"), editMbc, this), 1, 2);
    g->addWidget(editMbc, 1, 3);
    g->addWidget(LabelPanel(QStringLiteral("項目名称"), editLabel, this, true), 2, 0);
    g->addWidget(editLabel, 2, 1);
    g->addWidget(LabelPanel(QStringLiteral("測定単位"), editUnit, this, true), 2, 2);
    g->addWidget(editUnit, 2, 3);
    g->addWidget(LabelPanel(QStringLiteral("規格種別"), cmbSpecKind, this, true), 3, 0);
    g->addWidget(cmbSpecKind, 3, 1);
    g->addWidget(LabelPanel(QStringLiteral("小数桁数"), spinKeta, this, true), 3, 2);
    g->addWidget(spinKeta, 3, 3);
    g->addWidget(LabelPanel(QStringLiteral("規格上限"), editKupper, this, true), 4, 0);
    g->addWidget(editKupper, 4, 1);
    g->addWidget(LabelPanel(QStringLiteral("規格下限"), editKlower, this, true), 4, 2);
    g->addWidget(editKlower, 4, 3);
    g->addWidget(btnSpecClear, 5, 3);
    setupInput();
    bindSession();
}

// Alignment, input method and key filter of each field.
void HeaderPanel::setupInput()
{
    for (QLineEdit* e : std::initializer_list<QLineEdit*>{spinKeta, editKupper, editKlower})
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLineEdit* e : std::initializer_list<QLineEdit*>{editProduct, editProcess, editLabel, editMbc, editUnit})
        e->setAlignment(Qt::AlignCenter);
    // Input method: open for names, closed for units and numbers.
    for (QWidget* w : std::initializer_list<QWidget*>{editUnit, editKupper, editKlower, cmbSpecKind})
        w->setAttribute(Qt::WA_InputMethodEnabled, false);
    for (TEdit* e : {editProduct, editProcess, editMbc, editLabel, editUnit})
        e->keyFilter = NameKey;
    for (TEdit* e : {editKupper, editKlower})
        e->keyFilter = NumericKey;
    spinKeta->keyFilter = DecimalsKey;
}

// The fields write into the session's header; the panel's signals follow
// the list and the button.
void HeaderPanel::bindSession()
{
    const std::pair<TEdit*, HeaderField> texts[] = {
        {editProduct, HeaderField::Product}, {editProcess, HeaderField::Process}, {editMbc, HeaderField::Machine},
        {editLabel, HeaderField::Label},     {editUnit, HeaderField::Unit},       {spinKeta, HeaderField::Decimals},
        {editKupper, HeaderField::Upper},    {editKlower, HeaderField::Lower}};
    for (const auto& [edit, field] : texts)
        BindText(edit, [this, field](std::string t) { session_.setHeaderText(field, std::move(t)); });
    BindIndex(cmbSpecKind, [this](int i) { session_.setSpecKind(SpecKindOfIndex(i)); });

    connect(cmbSpecKind, &QComboBox::activated, this, &HeaderPanel::specKindChosen);
    connect(btnSpecClear, &QPushButton::clicked, this, &HeaderPanel::clearClicked);
}

std::vector<QWidget*> HeaderPanel::fields() const
{
    return {editProduct, editProcess, editMbc, editLabel, editUnit, cmbSpecKind, spinKeta, editKupper, editKlower};
}

void HeaderPanel::showHeader()
{
    // Painted from a copy: the fields write into the session as they change,
    // and a limit field the kind greys out is emptied on the way.
    const SheetHeader h = session_.header();
    SetWholeText(editProduct, QString::fromStdString(h.product));
    SetWholeText(editProcess, QString::fromStdString(h.process));
    SetWholeText(editMbc, QString::fromStdString(h.machine));
    SetWholeText(editLabel, QString::fromStdString(h.label));
    SetWholeText(editUnit, QString::fromStdString(h.unit));
    cmbSpecKind->setCurrentIndex(IndexOf(h.specKind));
    applySpecKind();
    spinKeta->setText(QString::fromStdString(h.decimals));
    SetWholeText(editKupper, QString::fromStdString(h.upper));
    SetWholeText(editKlower, QString::fromStdString(h.lower));
}

void HeaderPanel::showCleared(int decimals)
{
    const SheetHeader& h = session_.header();
    for (auto [field, text] : {std::pair{editProduct, &h.product},
                               {editProcess, &h.process},
                               {editMbc, &h.machine},
                               {editLabel, &h.label},
                               {editUnit, &h.unit},
                               {editKupper, &h.upper},
                               {editKlower, &h.lower}})
        field->setText(QString::fromStdString(*text));
    spinKeta->setValue(decimals);
    cmbSpecKind->setCurrentIndex(IndexOf(h.specKind));
    applySpecKind();
}

void HeaderPanel::showSettings(const InitialValues& settings)
{
    editUnit->setText(QString::fromStdString(settings.unit));
    cmbSpecKind->setCurrentIndex(settings.specKind);
    applySpecKind();
    spinKeta->setValue(settings.decimals);
}

void HeaderPanel::applySpecKind()
{
    const int kind = cmbSpecKind->currentIndex();
    auto apply = [this](TEdit* e, bool enabled) {
        e->setEnabled(enabled);
        e->setFieldColor(enabled ? window()->palette().color(QPalette::Base)
                                 : window()->palette().color(QPalette::Button));
        if (!enabled)
            e->clear();
    };
    apply(editKupper, kind != SpecLowerOnly);
    apply(editKlower, kind != SpecUpperOnly);
}

QString HeaderPanel::label() const
{
    return editLabel->text();
}

void HeaderPanel::setLabel(const QString& text)
{
    editLabel->setText(text);
}

bool HeaderPanel::isLabel(const QWidget* w) const
{
    return w == editLabel;
}

bool HeaderPanel::focus(SessionFocus f)
{
    switch (f) {
    case SessionFocus::Label:
        editLabel->setFocus();
        return true;
    case SessionFocus::Unit:
        editUnit->setFocus();
        return true;
    case SessionFocus::Upper:
        editKupper->setFocus();
        return true;
    case SessionFocus::Lower:
        editKlower->setFocus();
        return true;
    case SessionFocus::None:
        break;
    }
    return false;
}

void HeaderPanel::focusFirst()
{
    editProduct->setFocus();
}

bool HeaderPanel::normalise(QWidget* field)
{
    if (field == spinKeta) {
        spinKeta->clampOnExit();
        for (TEdit* lim : {editKupper, editKlower}) {
            const std::string t = lim->text().toStdString();
            if (!IsBlank(t))
                SetWholeText(lim, QString::fromStdString(FormatFixed(StrToFloat(t), spinKeta->value())));
        }
        return true;
    }
    if (field != editKupper && field != editKlower)
        return false;
    auto* e = static_cast<TEdit*>(field);
    const std::string t = e->text().toStdString();
    double v = 0;
    if (!IsBlank(t))
        SetWholeText(e, TryStrToFloat(t, v) ? QString::fromStdString(FormatFixed(v, spinKeta->value())) : QString());
    return true;
}

}  // namespace trevolo
