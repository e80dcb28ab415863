#pragma once
// The messages the exchange commands end with. The command functions return
// one; the window shows it with the caption of its kind.
#include <string>

namespace trevolo {

struct CommandMessage {
    enum class Kind {
        None,     // nothing to show
        Guide,    // "ガイドメッセージ"
        Warning,  // "警告メッセージ"
        Error,    // the general error box with the text
    };
    Kind kind = Kind::None;
    std::string text;

    friend bool operator==(const CommandMessage&, const CommandMessage&) = default;
};

inline constexpr const char* kMsgXlsSaved = "正常にExcelブックへの保存が完了しました。";
inline constexpr const char* kMsgXlsSaveFailed = "Excelブックを保存できませんでした。";
inline constexpr const char* kMsgCsvSavedSuffix = " に保存されました。";
inline constexpr const char* kMsgXlsOpenFailedContent =
    "Excelブックのオープンに失敗しました。ファイルの内容を確認してください…。";
inline constexpr const char* kMsgXlsOpenFailedExtension =
    "Excelブックのオープンに失敗しました。拡張子がサポートされているか確認してください…。";
inline constexpr const char* kMsgTooManySheets =
    "シートの最大値を超えました。Excelファイルのシート数を確認してください…。";
inline constexpr const char* kMsgCsvOpenFailed =
    "CSVファイルのオープンに失敗しました。ファイルの内容を確認してください…。";
inline constexpr const char* kMsgOfficeNotStarted =
    "表計算アプリケーション（LibreOffice Calc）を起動できませんでした。"
    "LibreOffice Calc がインストールされているか確認してください…。";
inline constexpr const char* kMsgOfficeLost =
    "表計算アプリケーション（LibreOffice Calc）が処理の途中で終了しました。"
    "処理は中断されました。もう一度実行してください…。";

// Progress texts of the busy frame.
inline constexpr const char* kBusyXlsSave = "Excelブックに出力中です。";
inline constexpr const char* kBusyCsvSave = "CSVファイルに出力中です。";
inline constexpr const char* kBusyXlsImport = "Excelブックを読み込み中です。";
inline constexpr const char* kBusyCsvImport = "CSVファイルを読み込み中です。";

}  // namespace trevolo
