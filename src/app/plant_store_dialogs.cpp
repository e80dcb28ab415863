// The plant store's dialogs and the server its settings name.
#include "app/plant_store_dialogs.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/prompts.h"
#include "store/plant_store.h"
#include "store/qt_text.h"
#include "store/store_commands.h"

namespace trevolo {

namespace {

// The settings of the server (no password: that comes from ~/.pgpass or is
// typed by the user of the database tools).
constexpr const char* kGroup = "PlantStore";

QString ShownTime(std::int64_t millis)
{
    if (millis <= 0)
        return QString();
    return QDateTime::fromMSecsSinceEpoch(millis).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

}  // namespace

StoreLocation ReadStoreLocation(QSettings& settings)
{
    settings.beginGroup(QLatin1String(kGroup));
    const QString host = settings.value(QStringLiteral("Host")).toString().trimmed();
    StoreLocation where;
    if (host.isEmpty()) {
        settings.endGroup();
        return DefaultStoreLocation();
    }
    where.engine = StoreEngine::Postgres;
    where.host = ToStdString(host);
    where.port = settings.value(QStringLiteral("Port"), 5432).toInt();
    where.database = ToStdString(settings.value(QStringLiteral("Database"), QStringLiteral("trevolo")));
    where.user = ToStdString(settings.value(QStringLiteral("User")));
    where.sslmode = ToStdString(settings.value(QStringLiteral("SslMode"), QStringLiteral("prefer")));
    settings.endGroup();
    return where;
}

StoreOpenDialog::StoreOpenDialog(const StoreLocation& where, QWidget* parent) : QDialog(parent), where_(where)
{
    setObjectName(QStringLiteral("TStoreOpenForm"));
    setWindowTitle(QStringLiteral("工場データベースから開く"));
    auto* v = new QVBoxLayout(this);
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("editSearch"));
    search_->setPlaceholderText(QStringLiteral("品種・工程・装置・項目で検索"));
    search_->setAccessibleName(QStringLiteral("検索"));
    table_ = new QTableWidget(0, 7, this);
    table_->setObjectName(QStringLiteral("gridCharacteristics"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("品種名称"), QStringLiteral("工程名称"), QStringLiteral("装置名称"), QStringLiteral("項目名称"),
         QStringLiteral("ステーション数"), QStringLiteral("ロット数"), QStringLiteral("最終送信日時")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    auto* buttons = new QDialogButtonBox(this);
    open_ = buttons->addButton(QStringLiteral("開く"), QDialogButtonBox::AcceptRole);
    open_->setObjectName(QStringLiteral("btnOpen"));
    buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    v->addWidget(search_);
    v->addWidget(table_);
    v->addWidget(buttons);
    resize(760, 420);
    connect(search_, &QLineEdit::textChanged, this, &StoreOpenDialog::filter);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
    connect(table_, &QTableWidget::itemSelectionChanged, this,
            [this] { open_->setEnabled(!table_->selectedItems().isEmpty()); });
}

bool StoreOpenDialog::list()
{
    if (!ListCharacteristics(where_, std::string(), all_, error_))
        return false;
    filter(search_->text());
    return true;
}

void StoreOpenDialog::filter(const QString& search)
{
    std::vector<CharacteristicSummary> found;
    for (const CharacteristicSummary& c : all_)
        if (CharacteristicMatches(c.characteristic, search.toStdString()))
            found.push_back(c);
    shown_ = found;
    table_->setRowCount(static_cast<int>(found.size()));
    for (int r = 0; r < static_cast<int>(found.size()); ++r) {
        const CharacteristicSummary& f = found[static_cast<size_t>(r)];
        const QString cells[] = {ToQString(f.characteristic.product), ToQString(f.characteristic.process),
                                 ToQString(f.characteristic.machine), ToQString(f.characteristic.item),
                                 QString::number(f.stations),         QString::number(f.lots),
                                 ShownTime(f.lastPublishedAt)};
        for (int c = 0; c < 7; ++c)
            table_->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    if (!found.empty())
        table_->selectRow(0);
    open_->setEnabled(!found.empty());
}

std::optional<Characteristic> StoreOpenDialog::chosen() const
{
    const int r = table_->currentRow();
    if (r < 0 || r >= static_cast<int>(shown_.size()))
        return std::nullopt;
    return shown_[static_cast<size_t>(r)].characteristic;
}

StoreSettingsDialog::StoreSettingsDialog(QSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
{
    setObjectName(QStringLiteral("TStoreSettingForm"));
    setWindowTitle(QStringLiteral("工場データベース設定"));
    auto* form = new QFormLayout(this);
    host_ = new QLineEdit(this);
    host_->setObjectName(QStringLiteral("editHost"));
    host_->setPlaceholderText(QStringLiteral("空欄: このPCのデータベース"));
    port_ = new QSpinBox(this);
    port_->setObjectName(QStringLiteral("spinPort"));
    port_->setRange(1, 65535);
    database_ = new QLineEdit(this);
    database_->setObjectName(QStringLiteral("editDatabase"));
    user_ = new QLineEdit(this);
    user_->setObjectName(QStringLiteral("editUser"));
    ssl_ = new QComboBox(this);
    ssl_->setObjectName(QStringLiteral("cmbSslMode"));
    ssl_->addItems({QStringLiteral("prefer"), QStringLiteral("require"), QStringLiteral("verify-ca"),
                    QStringLiteral("verify-full"), QStringLiteral("disable")});
    form->addRow(QStringLiteral("サーバー"), host_);
    form->addRow(QStringLiteral("ポート"), port_);
    form->addRow(QStringLiteral("データベース"), database_);
    form->addRow(QStringLiteral("ユーザー"), user_);
    form->addRow(QStringLiteral("SSL"), ssl_);
    auto* note = new QLabel(QStringLiteral("パスワードは保存されません。~/.pgpass に設定してください。"), this);
    form->addRow(note);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("ＯＫ"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &StoreSettingsDialog::store);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    settings_.beginGroup(QLatin1String(kGroup));
    host_->setText(settings_.value(QStringLiteral("Host")).toString());
    port_->setValue(settings_.value(QStringLiteral("Port"), 5432).toInt());
    database_->setText(settings_.value(QStringLiteral("Database"), QStringLiteral("trevolo")).toString());
    user_->setText(settings_.value(QStringLiteral("User")).toString());
    ssl_->setCurrentText(settings_.value(QStringLiteral("SslMode"), QStringLiteral("prefer")).toString());
    settings_.endGroup();
}

void StoreSettingsDialog::store()
{
    const QString host = host_->text().trimmed();
    if (!host.isEmpty() && (database_->text().trimmed().isEmpty() || user_->text().trimmed().isEmpty())) {
        Prompts::current().message(this, QString::fromUtf8(kGuideCaption),
                                   QStringLiteral("データベースとユーザーを入力してください。"));
        return;
    }
    settings_.beginGroup(QLatin1String(kGroup));
    settings_.setValue(QStringLiteral("Host"), host);
    settings_.setValue(QStringLiteral("Port"), port_->value());
    settings_.setValue(QStringLiteral("Database"), database_->text().trimmed());
    settings_.setValue(QStringLiteral("User"), user_->text().trimmed());
    settings_.setValue(QStringLiteral("SslMode"), ssl_->currentText());
    settings_.endGroup();
    accept();
}

}  // namespace trevolo
