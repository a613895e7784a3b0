#include "files/side_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <algorithm>

#include "measurement/reader.h"
#include "motor/catalogue.h"
#include "platform/program_dir.h"
#include "shared/number_format.h"
#include "shared/text_parse.h"

namespace mervo {

QString sideSettingsPath(const QString& programDir) { return QDir(programDir).filePath(QStringLiteral("mervo.ini")); }

std::optional<PrintedTexts> lastPrintedTexts(const QString& programDir) {
    const QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    if (!s.contains(QStringLiteral("print/organisation"))) return std::nullopt;
    return PrintedTexts{s.value(QStringLiteral("print/organisation")).toString(),
                        s.value(QStringLiteral("print/device")).toString()};
}

void rememberPrintedTexts(const QString& programDir, const PrintedTexts& texts) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    s.setValue(QStringLiteral("print/organisation"), texts.organisation);
    s.setValue(QStringLiteral("print/device"), texts.device);
}

QStringList recentFiles(const QString& programDir) {
    const QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    return s.value(QStringLiteral("recent/files")).toStringList().mid(0, kRecentFiles);
}

namespace {
void storeRecentFiles(const QString& programDir, const QStringList& files) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    s.setValue(QStringLiteral("recent/files"), files);
}
}  // namespace

void noteRecentFile(const QString& programDir, const QString& path) {
    QStringList files = recentFiles(programDir);
    files.removeAll(path);
    files.prepend(path);
    storeRecentFiles(programDir, files.mid(0, kRecentFiles));
}

void forgetRecentFile(const QString& programDir, const QString& path) {
    QStringList files = recentFiles(programDir);
    files.removeAll(path);
    storeRecentFiles(programDir, files);
}

std::optional<ConfirmedNameplate> confirmedNameplate(const QString& programDir) {
    const QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    const QStringList texts = s.value(QStringLiteral("motor/nameplate")).toStringList();
    const std::optional<int64_t> code = integerFromText(s.value(QStringLiteral("motor/code")).toString());
    if (texts.size() != 7 || !code || *code < 0 || *code > kMaxCode) return std::nullopt;
    ConfirmedNameplate kept;
    kept.code = static_cast<int>(*code);
    for (size_t i = 0; i < 7; ++i) {
        const std::optional<float> v = floatFromText(texts[static_cast<int>(i)]);
        if (!v || *v == 0.0f) return std::nullopt;
        kept.values[i] = *v;
    }
    return kept;
}

void rememberConfirmedNameplate(const QString& programDir, const std::optional<ConfirmedNameplate>& nameplate) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    if (!nameplate) {
        s.remove(QStringLiteral("motor"));
        return;
    }
    QStringList texts;
    // Digits that read back to the very floats, so the next start records what was confirmed.
    for (float v : nameplate->values) texts << QString::fromStdString(formatShortestFloat(v));
    s.setValue(QStringLiteral("motor/nameplate"), texts);
    s.setValue(QStringLiteral("motor/code"), nameplate->code);
}

ExportChoices lastExportChoices(const QString& programDir) {
    const QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    ExportChoices c;
    c.perInterval = s.value(QStringLiteral("export/per_interval"), c.perInterval).toBool();
    c.spreadsheet = s.value(QStringLiteral("export/spreadsheet"), c.spreadsheet).toBool();
    if (const std::optional<double> v = numberFromText(s.value(QStringLiteral("export/interval")).toString()))
        c.intervalSeconds = *v;
    return c;
}

void rememberExportChoices(const QString& programDir, const ExportChoices& choices) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    s.setValue(QStringLiteral("export/per_interval"), choices.perInterval);
    s.setValue(QStringLiteral("export/interval"), choices.intervalSeconds);
    s.setValue(QStringLiteral("export/spreadsheet"), choices.spreadsheet);
}

bool reconnectAfterLoss(const QString& programDir) {
    const QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    return s.value(QStringLiteral("receive/reconnect"), false).toBool();
}

void rememberReconnectAfterLoss(const QString& programDir, bool on) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    s.setValue(QStringLiteral("receive/reconnect"), on);
}

AssessmentChoices lastAssessmentChoices(const QString& programDir) {
    const QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    return {numberFromText(s.value(QStringLiteral("assessment/kq")).toString()),
            numberFromText(s.value(QStringLiteral("assessment/target_pf")).toString())};
}

void rememberAssessmentChoices(const QString& programDir, double kq, double targetPowerFactor) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    s.setValue(QStringLiteral("assessment/kq"), kq);
    s.setValue(QStringLiteral("assessment/target_pf"), targetPowerFactor);
}

namespace {
// The keys of the numbers among the savings inputs, and the members they fill.
const struct {
    const char* key;
    std::optional<double> SavingsChoices::*member;
} kSavingsNumbers[] = {
    {"savings/hours", &SavingsChoices::hours},
    {"savings/price", &SavingsChoices::price},
    {"savings/co2", &SavingsChoices::co2},
    {"savings/demand_minutes", &SavingsChoices::demandMinutes},
    {"savings/demand_step_minutes", &SavingsChoices::demandStepMinutes},
};
}  // namespace

SavingsChoices lastSavingsChoices(const QString& programDir) {
    const QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    SavingsChoices c;
    for (const auto& n : kSavingsNumbers) c.*n.member = numberFromText(s.value(QLatin1String(n.key)).toString());
    c.periods = s.value(QStringLiteral("savings/periods")).toString();
    // "KEY=YUAN" each; the key may hold "=" (an IE reference never does), the price never.
    for (const QString& item : s.value(QStringLiteral("savings/motor_prices")).toStringList()) {
        const int eq = item.lastIndexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        if (const std::optional<double> yuan = numberFromText(item.mid(eq + 1))) c.motorPrices[item.left(eq)] = *yuan;
    }
    return c;
}

void rememberSavingsChoices(const QString& programDir, const SavingsChoices& choices) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    for (const auto& n : kSavingsNumbers) {
        if (const std::optional<double>& v = choices.*n.member) s.setValue(QLatin1String(n.key), *v);
        else s.remove(QLatin1String(n.key));
    }
    s.setValue(QStringLiteral("savings/periods"), choices.periods);
    QStringList prices;
    for (const auto& [key, yuan] : choices.motorPrices)
        prices << QStringLiteral("%1=%2").arg(key, QString::number(yuan, 'g', QLocale::FloatingPointShortest));
    s.setValue(QStringLiteral("savings/motor_prices"), prices);
}

namespace {

struct KeptView {
    QString path;
    TrendView view;
};

QString viewKey(const QString& measurement) { return QFileInfo(measurement).absoluteFilePath(); }

QStringList numberTexts(const std::vector<double>& v) {
    QStringList t;
    for (double x : v) t << QString::number(x, 'g', 17);
    return t;
}

// The numbers of a list, or nothing when one is no number.
std::optional<std::vector<double>> numbers(const QStringList& texts) {
    std::vector<double> v;
    for (const QString& t : texts) {
        const std::optional<double> x = numberFromText(t);
        if (!x) return std::nullopt;
        v.push_back(*x);
    }
    return v;
}

// The views kept; an entry that does not read as a view is passed over.
std::vector<KeptView> keptViews(const QString& programDir) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    std::vector<KeptView> out;
    const int n = s.beginReadArray(QStringLiteral("trend_views"));
    for (int i = 0; i < n && static_cast<int>(out.size()) < kRememberedViews; ++i) {
        s.setArrayIndex(i);
        KeptView k;
        k.path = s.value(QStringLiteral("path")).toString();
        const QString panels = s.value(QStringLiteral("panels")).toString();
        const auto heights = numbers(s.value(QStringLiteral("heights")).toStringList());
        const auto axes = numbers(s.value(QStringLiteral("axes")).toStringList());
        const auto span = numbers(s.value(QStringLiteral("span")).toStringList());
        const int mode = s.value(QStringLiteral("time_mode")).toInt(), legend = s.value(QStringLiteral("legend")).toInt();
        if (k.path.isEmpty() || panels.size() != TrendView::kPanels || !heights || !axes || axes->size() % 2 != 0 ||
            !span || span->size() != 2 || mode < 0 || mode > 1 || legend < 0 || legend > 2)
            continue;
        for (int p = 0; p < TrendView::kPanels; ++p) k.view.panels[static_cast<size_t>(p)] = panels[p] == QLatin1Char('1');
        for (double h : *heights) k.view.heights.push_back(static_cast<int>(h));
        for (size_t a = 0; a + 1 < axes->size(); a += 2) k.view.axes.emplace_back((*axes)[a], (*axes)[a + 1]);
        k.view.fixedAxes = s.value(QStringLiteral("fixed")).toBool();
        k.view.timeMode = mode;
        k.view.start = (*span)[0];
        k.view.end = (*span)[1];
        k.view.legend = legend;
        out.push_back(std::move(k));
    }
    s.endArray();
    return out;
}

void storeViews(const QString& programDir, const std::vector<KeptView>& views) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    s.remove(QStringLiteral("trend_views"));
    s.beginWriteArray(QStringLiteral("trend_views"), static_cast<int>(views.size()));
    for (int i = 0; i < static_cast<int>(views.size()); ++i) {
        const KeptView& k = views[static_cast<size_t>(i)];
        s.setArrayIndex(i);
        s.setValue(QStringLiteral("path"), k.path);
        QString panels;
        for (bool on : k.view.panels) panels += on ? QLatin1Char('1') : QLatin1Char('0');
        s.setValue(QStringLiteral("panels"), panels);
        s.setValue(QStringLiteral("heights"), numberTexts({k.view.heights.begin(), k.view.heights.end()}));
        std::vector<double> axes;
        for (const auto& [lo, hi] : k.view.axes) axes.insert(axes.end(), {lo, hi});
        s.setValue(QStringLiteral("axes"), numberTexts(axes));
        s.setValue(QStringLiteral("fixed"), k.view.fixedAxes);
        s.setValue(QStringLiteral("time_mode"), k.view.timeMode);
        s.setValue(QStringLiteral("span"), numberTexts({k.view.start, k.view.end}));
        s.setValue(QStringLiteral("legend"), k.view.legend);
    }
    s.endArray();
}

}  // namespace

std::optional<TrendView> trendView(const QString& programDir, const QString& measurement) {
    const QString key = viewKey(measurement);
    for (const KeptView& k : keptViews(programDir))
        if (k.path == key) return k.view;
    return std::nullopt;
}

void rememberTrendView(const QString& programDir, const QString& measurement, const TrendView& view) {
    std::vector<KeptView> views = keptViews(programDir);
    const QString key = viewKey(measurement);
    views.erase(std::remove_if(views.begin(), views.end(), [&](const KeptView& k) { return k.path == key; }),
                views.end());
    views.insert(views.begin(), {key, view});
    if (views.size() > static_cast<size_t>(kRememberedViews)) views.resize(static_cast<size_t>(kRememberedViews));
    storeViews(programDir, views);
}

void forgetTrendView(const QString& programDir, const QString& measurement) {
    std::vector<KeptView> views = keptViews(programDir);
    const QString key = viewKey(measurement);
    views.erase(std::remove_if(views.begin(), views.end(), [&](const KeptView& k) { return k.path == key; }),
                views.end());
    storeViews(programDir, views);
}

bool workFileUnsaved(const QString& programDir) {
    const QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    return s.value(QStringLiteral("receive/unsaved"), false).toBool();
}

void setWorkFileUnsaved(const QString& programDir, bool unsaved) {
    QSettings s(sideSettingsPath(programDir), QSettings::IniFormat);
    s.setValue(QStringLiteral("receive/unsaved"), unsaved);
}

bool unsavedRecordingWaiting(const QString& programDir) {
    if (!workFileUnsaved(programDir)) return false;
    MeasurementReader reader;
    if (reader.open(workFilePath(programDir)) && reader.info().wholeSamples > 0) return true;
    setWorkFileUnsaved(programDir, false);
    return false;
}

}  // namespace mervo
