#pragma once
// The plant store's dialogs: "工場データベースから開く" lists the store's
// characteristics to open one, "工場データベース設定" names the server. The
// server is kept in the settings group "PlantStore".
#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "store/store_engine.h"
#include "store/store_records.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSettings;
class QSpinBox;
class QTableWidget;

namespace trevolo {

// The store the settings name: the server, or the embedded file when no
// server is set.
StoreLocation ReadStoreLocation(QSettings& settings);

// "工場データベースから開く": the characteristics of the store, searched by a
// text in any of their four names.
class StoreOpenDialog : public QDialog {
public:
    StoreOpenDialog(const StoreLocation& where, QWidget* parent);

    // Reads the characteristics of the store once and lists those the search
    // finds; false with the reason when the store cannot be read.
    bool list();
    // Lists the characteristics read that the search finds: typing filters
    // what was read, with no round trip to the store per key.
    void filter(const QString& search);

    const std::string& error() const { return error_; }
    // The characteristic of the current row, if any.
    std::optional<Characteristic> chosen() const;

private:
    StoreLocation where_;
    QLineEdit* search_;
    QTableWidget* table_;
    QPushButton* open_;
    std::vector<CharacteristicSummary> all_;
    std::vector<CharacteristicSummary> shown_;
    std::string error_;
};

// "工場データベース設定": the server, or none for the file on this PC. OK
// writes the settings.
class StoreSettingsDialog : public QDialog {
public:
    StoreSettingsDialog(QSettings& settings, QWidget* parent);

private:
    void store();

    QSettings& settings_;
    QLineEdit* host_;
    QSpinBox* port_;
    QLineEdit* database_;
    QLineEdit* user_;
    QComboBox* ssl_;
};

}  // namespace trevolo
