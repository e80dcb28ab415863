#include "app/settings_store.h"

#include <QSettings>
#include <algorithm>

#include "model/number.h"
#include "spc/rule_options.h"

namespace trevolo {

namespace {

int ReadInt(QSettings& s, const char* key, int def)
{
    const QVariant v = s.value(QLatin1String(key));
    if (!v.isValid())
        return def;
    int out = 0;
    return TryStrToInt(v.toString().toStdString(), out) ? out : def;
}

bool ReadBool(QSettings& s, const char* key, bool def)
{
    return ReadInt(s, key, def ? 1 : 0) != 0;
}

std::string ReadString(QSettings& s, const char* key, const char* def)
{
    const QVariant v = s.value(QLatin1String(key));
    return v.isValid() ? v.toString().toStdString() : std::string(def);
}

int ReadIndex(QSettings& s, const char* key, int def, int last)
{
    int v = ReadInt(s, key, def);
    return (v < 0 || v > last) ? def : v;
}

void WriteInt(QSettings& s, const char* key, int v)
{
    s.setValue(QLatin1String(key), QString::number(v));
}

void WriteBool(QSettings& s, const char* key, bool v)
{
    s.setValue(QLatin1String(key), v ? QStringLiteral("1") : QStringLiteral("0"));
}

void WriteString(QSettings& s, const char* key, const std::string& v)
{
    s.setValue(QLatin1String(key), QString::fromStdString(v));
}

const char* const kCheckKeys[8] = {"Check1", "Check2", "Check3", "Check4", "Check5", "Check6", "Check7", "Check8"};

}  // namespace

std::unique_ptr<QSettings> OpenSettingsStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Morvane"),
                                       QStringLiteral("Trevolo"));
}

void ReadSettings(QSettings& store, WindowGeometry& geometry, Struct_Options& options, Struct_Settings& settings)
{
    const Struct_Options defOptions = Struct_Options::Defaults();
    const Struct_Settings def = Struct_Settings::Defaults();

    store.beginGroup(QStringLiteral("Windows"));
    geometry.Left = ReadInt(store, "Left", 0);
    geometry.Top = ReadInt(store, "Top", 0);
    geometry.Height = ReadInt(store, "Height", 0);
    geometry.Width = ReadInt(store, "Width", 0);
    store.endGroup();

    store.beginGroup(QStringLiteral("Options"));
    for (int r = 1; r <= 8; ++r)
        options.setCheck(r, ReadBool(store, kCheckKeys[r - 1], true));
    options.Chk2Comp1 = ReadInt(store, "Chk2Comp1", defOptions.Chk2Comp1);
    options.Chk3Comp1 = ReadInt(store, "Chk3Comp1", defOptions.Chk3Comp1);
    options.Chk4Comp1 = ReadInt(store, "Chk4Comp1", defOptions.Chk4Comp1);
    options.Chk5Comp1 = ReadInt(store, "Chk5Comp1", defOptions.Chk5Comp1);
    options.Chk5Comp2 = ReadInt(store, "Chk5Comp2", defOptions.Chk5Comp2);
    options.Chk6Comp1 = ReadInt(store, "Chk6Comp1", defOptions.Chk6Comp1);
    options.Chk6Comp2 = ReadInt(store, "Chk6Comp2", defOptions.Chk6Comp2);
    options.Chk7Comp1 = ReadInt(store, "Chk7Comp1", defOptions.Chk7Comp1);
    options.Chk8Comp1 = ReadInt(store, "Chk8Comp1", defOptions.Chk8Comp1);
    // A run length or count that the rule dialog does not offer falls back
    // to its default, so the rules never run with a value like 0.
    for (int list = 0; list < kRuleListCount; ++list)
        if (RuleListItemIndex(list, RuleListValue(options, list)) < 0)
            RuleListValue(options, list) = RuleListDefault(list);
    store.endGroup();

    store.beginGroup(QStringLiteral("Settings"));
    settings.Tab = std::clamp(ReadInt(store, "Tab", def.Tab), 1, kMaxSheets);
    settings.Row = std::clamp(ReadInt(store, "Row", def.Row), kMinLots, kMaxLots);
    settings.Col = std::clamp(ReadInt(store, "Col", def.Col), kMinN, kMaxN);
    settings.Unit = ReadString(store, "Unit", def.Unit.c_str());
    settings.SpecIndex = ReadIndex(store, "SpecIndex", def.SpecIndex, 2);
    settings.Keta = std::clamp(ReadInt(store, "Keta", def.Keta), 0, 5);
    settings.CpkCheck = ReadBool(store, "CpkCheck", def.CpkCheck);
    settings.CpkIndex = ReadIndex(store, "CpkIndex", def.CpkIndex, 1);
    settings.CpCpk = ReadString(store, "CpCpk", def.CpCpk.c_str());
    settings.ChartIndex = ReadIndex(store, "ChartIndex", def.ChartIndex, 2);
    settings.LimitIndex = ReadIndex(store, "LimitIndex", def.LimitIndex, 2);
    store.endGroup();
}

bool WriteSettings(QSettings& store, const WindowGeometry& geometry, const Struct_Options& options,
                   const Struct_Settings& settings)
{
    store.beginGroup(QStringLiteral("Windows"));
    WriteInt(store, "Left", geometry.Left);
    WriteInt(store, "Top", geometry.Top);
    WriteInt(store, "Height", geometry.Height);
    WriteInt(store, "Width", geometry.Width);
    store.endGroup();

    store.beginGroup(QStringLiteral("Options"));
    for (int r = 1; r <= 8; ++r)
        WriteBool(store, kCheckKeys[r - 1], options.check(r));
    WriteInt(store, "Chk2Comp1", options.Chk2Comp1);
    WriteInt(store, "Chk3Comp1", options.Chk3Comp1);
    WriteInt(store, "Chk4Comp1", options.Chk4Comp1);
    WriteInt(store, "Chk5Comp1", options.Chk5Comp1);
    WriteInt(store, "Chk5Comp2", options.Chk5Comp2);
    WriteInt(store, "Chk6Comp1", options.Chk6Comp1);
    WriteInt(store, "Chk6Comp2", options.Chk6Comp2);
    WriteInt(store, "Chk7Comp1", options.Chk7Comp1);
    WriteInt(store, "Chk8Comp1", options.Chk8Comp1);
    store.endGroup();

    store.beginGroup(QStringLiteral("Settings"));
    WriteInt(store, "Tab", settings.Tab);
    WriteInt(store, "Row", settings.Row);
    WriteInt(store, "Col", settings.Col);
    WriteString(store, "Unit", settings.Unit);
    WriteInt(store, "SpecIndex", settings.SpecIndex);
    WriteInt(store, "Keta", settings.Keta);
    WriteBool(store, "CpkCheck", settings.CpkCheck);
    WriteInt(store, "CpkIndex", settings.CpkIndex);
    WriteString(store, "CpCpk", settings.CpCpk);
    WriteInt(store, "ChartIndex", settings.ChartIndex);
    WriteInt(store, "LimitIndex", settings.LimitIndex);
    store.endGroup();

    store.sync();
    return store.status() == QSettings::NoError;
}

}  // namespace trevolo
