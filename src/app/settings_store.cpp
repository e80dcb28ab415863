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

void ReadSettings(QSettings& store, WindowGeometry& geometry, RuleOptions& options, InitialValues& settings)
{
    const RuleOptions defOptions = RuleOptions::Defaults();
    const InitialValues def = InitialValues::Defaults();

    store.beginGroup(QStringLiteral("Windows"));
    geometry.Left = ReadInt(store, "Left", 0);
    geometry.Top = ReadInt(store, "Top", 0);
    geometry.Height = ReadInt(store, "Height", 0);
    geometry.Width = ReadInt(store, "Width", 0);
    store.endGroup();

    store.beginGroup(QStringLiteral("Options"));
    for (int r = 1; r <= 8; ++r)
        options.setCheck(r, ReadBool(store, kCheckKeys[r - 1], true));
    options.sameSideRun = ReadInt(store, "Chk2Comp1", defOptions.sameSideRun);
    options.trendRun = ReadInt(store, "Chk3Comp1", defOptions.trendRun);
    options.alternatingRun = ReadInt(store, "Chk4Comp1", defOptions.alternatingRun);
    options.beyond2SigmaBlock = ReadInt(store, "Chk5Comp1", defOptions.beyond2SigmaBlock);
    options.beyond2SigmaHits = ReadInt(store, "Chk5Comp2", defOptions.beyond2SigmaHits);
    options.beyond1SigmaBlock = ReadInt(store, "Chk6Comp1", defOptions.beyond1SigmaBlock);
    options.beyond1SigmaHits = ReadInt(store, "Chk6Comp2", defOptions.beyond1SigmaHits);
    options.within1SigmaRun = ReadInt(store, "Chk7Comp1", defOptions.within1SigmaRun);
    options.outside1SigmaRun = ReadInt(store, "Chk8Comp1", defOptions.outside1SigmaRun);
    // A run length or count that the rule dialog does not offer falls back
    // to its default, so the rules never run with a value like 0.
    for (int list = 0; list < kRuleListCount; ++list)
        if (RuleListItemIndex(list, RuleListValue(options, list)) < 0)
            RuleListValue(options, list) = RuleListDefault(list);
    store.endGroup();

    store.beginGroup(QStringLiteral("Settings"));
    settings.sheetCount = std::clamp(ReadInt(store, "Tab", def.sheetCount), 1, kMaxSheets);
    settings.lots = std::clamp(ReadInt(store, "Row", def.lots), kMinLots, kMaxLots);
    settings.n = std::clamp(ReadInt(store, "Col", def.n), kMinN, kMaxN);
    settings.unit = ReadString(store, "Unit", def.unit.c_str());
    settings.specKind = ReadIndex(store, "SpecIndex", def.specKind, 2);
    settings.decimals = std::clamp(ReadInt(store, "Keta", def.decimals), 0, 5);
    settings.cpkCheck = ReadBool(store, "CpkCheck", def.cpkCheck);
    settings.cpkIndex = ReadIndex(store, "CpkIndex", def.cpkIndex, 1);
    settings.cpCpk = ReadString(store, "CpCpk", def.cpCpk.c_str());
    settings.chartKind = ReadIndex(store, "ChartIndex", def.chartKind, 2);
    settings.limitMethod = ReadIndex(store, "LimitIndex", def.limitMethod, 2);
    store.endGroup();
}

bool WriteSettings(QSettings& store, const WindowGeometry& geometry, const RuleOptions& options,
                   const InitialValues& settings)
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
    WriteInt(store, "Chk2Comp1", options.sameSideRun);
    WriteInt(store, "Chk3Comp1", options.trendRun);
    WriteInt(store, "Chk4Comp1", options.alternatingRun);
    WriteInt(store, "Chk5Comp1", options.beyond2SigmaBlock);
    WriteInt(store, "Chk5Comp2", options.beyond2SigmaHits);
    WriteInt(store, "Chk6Comp1", options.beyond1SigmaBlock);
    WriteInt(store, "Chk6Comp2", options.beyond1SigmaHits);
    WriteInt(store, "Chk7Comp1", options.within1SigmaRun);
    WriteInt(store, "Chk8Comp1", options.outside1SigmaRun);
    store.endGroup();

    store.beginGroup(QStringLiteral("Settings"));
    WriteInt(store, "Tab", settings.sheetCount);
    WriteInt(store, "Row", settings.lots);
    WriteInt(store, "Col", settings.n);
    WriteString(store, "Unit", settings.unit);
    WriteInt(store, "SpecIndex", settings.specKind);
    WriteInt(store, "Keta", settings.decimals);
    WriteBool(store, "CpkCheck", settings.cpkCheck);
    WriteInt(store, "CpkIndex", settings.cpkIndex);
    WriteString(store, "CpCpk", settings.cpCpk);
    WriteInt(store, "ChartIndex", settings.chartKind);
    WriteInt(store, "LimitIndex", settings.limitMethod);
    store.endGroup();

    store.sync();
    return store.status() == QSettings::NoError;
}

}  // namespace trevolo
