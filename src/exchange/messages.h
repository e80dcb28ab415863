#pragma once
// The messages the exchange commands end with. The command functions return
// one; the window shows it with the caption of its kind.
//
// Every text a user sees is a Japanese sentence of the program. Where a
// technical detail helps (a path, the office's own words), it follows on the
// lines after that sentence.
#include <string>
#include <string_view>

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

inline constexpr const char* kMsgCsvSaveFailed = "CSVファイルを保存できませんでした。";
inline constexpr const char* kMsgReportFailed = "帳票の作成中にエラーが発生しました。処理は中断されました…。";
inline constexpr const char* kMsgResultOutputFailed = "判定結果の出力中にエラーが発生しました。処理は中断されました…。";
inline constexpr const char* kMsgUnexpectedError = "処理中にエラーが発生しました。処理は中断されました…。";

// A message with its detail on the lines after it; an empty detail adds
// nothing.
std::string WithDetail(std::string_view message, std::string_view detail);

// The report template "name" is not in "Form Files": the program folder is
// incomplete, so the user is told to install the program again. The
// template's full path follows on the second line.
std::string TemplateMissingMessage(std::string_view name, std::string_view path);
// The template is there but the office cannot open it (a damaged file).
std::string TemplateDamagedMessage(std::string_view name, std::string_view path, std::string_view detail);
// The template could not be copied to the report's name in the save folder.
std::string TemplateCopyFailedMessage(std::string_view name, std::string_view copy, int err);

// Why a file could not be created or written, from the system's error
// number, as a Japanese sentence; a number without a sentence of its own
// gets a general one with the system's text in parentheses.
std::string WriteFailureReason(int err);

// Why a file could not be opened or read, in the same way.
std::string ReadFailureReason(int err);

// True when the text holds a kana or kanji character.
bool HasJapanese(std::string_view utf8) noexcept;

// The text of the general error box for an error: its own text when that is
// a Japanese sentence, else a general sentence with the error's text as the
// detail (an error of a library, which speaks English).
std::string ErrorBoxText(std::string_view what);

// Progress texts of the busy frame.
inline constexpr const char* kBusyXlsSave = "Excelブックに出力中です。";
inline constexpr const char* kBusyCsvSave = "CSVファイルに出力中です。";
inline constexpr const char* kBusyXlsImport = "Excelブックを読み込み中です。";
inline constexpr const char* kBusyCsvImport = "CSVファイルを読み込み中です。";

}  // namespace trevolo
