#include "exchange/messages.h"

#include <cerrno>
#include <cstring>

namespace trevolo {

std::string WithDetail(std::string_view message, std::string_view detail)
{
    std::string out(message);
    if (!detail.empty()) {
        out += '\n';
        out += detail;
    }
    return out;
}

std::string TemplateMissingMessage(std::string_view name, std::string_view path)
{
    std::string m = "帳票のテンプレートファイル「";
    m += name;
    m += "」が見つかりません。Trevolo をインストールし直してください…。";
    return WithDetail(m, path);
}

std::string TemplateDamagedMessage(std::string_view name, std::string_view path, std::string_view detail)
{
    std::string m = "帳票のテンプレートファイル「";
    m += name;
    m += "」を開けませんでした。Trevolo をインストールし直してください…。";
    std::string d(path);
    if (!detail.empty())
        d += "\n(" + std::string(detail) + ")";
    return WithDetail(m, d);
}

std::string TemplateCopyFailedMessage(std::string_view name, std::string_view copy, int err)
{
    std::string m = "帳票のテンプレートファイル「";
    m += name;
    m += "」を保存先フォルダにコピーできませんでした。";
    return WithDetail(m, std::string(copy) + "\n" + WriteFailureReason(err));
}

std::string WriteFailureReason(int err)
{
    switch (err) {
    case EACCES:
    case EPERM:
        return "書き込む権限がありません。";
    case EROFS:
        return "読み取り専用の場所には書き込めません。";
    case ENOENT:
        return "保存先のフォルダがありません。";
    case ENOTDIR:
        return "保存先のフォルダが正しくありません。";
    case EISDIR:
        return "同じ名前のフォルダがあります。";
    case EEXIST:
        return "同じ名前のファイルがあります。";
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return "ディスクの空き容量が足りません。";
    case ENAMETOOLONG:
        return "ファイル名が長すぎます。";
    case EMFILE:
    case ENFILE:
        return "開いているファイルが多すぎます。";
    case EBUSY:
    case ETXTBSY:
        return "ファイルが使用中です。";
    default:
        return "書き込み中にエラーが発生しました。(" + std::string(std::strerror(err)) + ")";
    }
}

std::string ReadFailureReason(int err)
{
    switch (err) {
    case ENOENT:
        return "ファイルがありません。";
    case ENOTDIR:
        return "ファイルの場所が正しくありません。";
    case EISDIR:
        return "ファイルではなくフォルダです。";
    case EACCES:
    case EPERM:
        return "読み取る権限がありません。";
    case ENAMETOOLONG:
        return "ファイル名が長すぎます。";
    case EMFILE:
    case ENFILE:
        return "開いているファイルが多すぎます。";
    default:
        return "読み込み中にエラーが発生しました。(" + std::string(std::strerror(err)) + ")";
    }
}

namespace {

// The next code point of UTF-8 text; a stray byte is taken as itself.
char32_t NextCodePoint(std::string_view s, size_t& i) noexcept
{
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + len > s.size())
        len = 1;
    char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < len; ++k)
        cp = (cp << 6) | (b(i + k) & 0x3F);
    i += len;
    return cp;
}

}  // namespace

bool HasJapanese(std::string_view utf8) noexcept
{
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, i);
        if ((cp >= 0x3041 && cp <= 0x30FF) ||  // hiragana, katakana
            (cp >= 0x3400 && cp <= 0x9FFF) ||  // kanji
            (cp >= 0xFF66 && cp <= 0xFF9F))    // half-width katakana
            return true;
    }
    return false;
}

std::string ErrorBoxText(std::string_view what)
{
    const std::string_view first = what.substr(0, what.find('\n'));
    if (HasJapanese(first))
        return std::string(what);
    return WithDetail(kMsgUnexpectedError, what);
}

}  // namespace trevolo
