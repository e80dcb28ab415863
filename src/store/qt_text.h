#pragma once
// Text between the core's UTF-8 strings and Qt's strings, in one place for
// every part that speaks to Qt (the window, the stores, the tests).
#include <QString>
#include <QVariant>
#include <string>
#include <string_view>

namespace trevolo {

inline QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text)
{
    return text.toStdString();
}

inline std::string ToStdString(const QVariant& value)
{
    return value.toString().toStdString();
}

}  // namespace trevolo
