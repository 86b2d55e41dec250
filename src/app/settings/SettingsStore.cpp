#include "settings/SettingsStore.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace {

// A settings file is a few kilobytes; anything much larger is not one.
constexpr off_t kMaxFileSize = 256 * 1024;

enum class EPathKind { kMissing, kRegularFile, kOther };

EPathKind KindOf(const QString& strPath) {
    struct stat status {};
    if (stat(QFile::encodeName(strPath).constData(), &status) != 0) {
        return errno == ENOENT ? EPathKind::kMissing : EPathKind::kOther;
    }
    return S_ISREG(status.st_mode) ? EPathKind::kRegularFile : EPathKind::kOther;
}

// Anything but text (bytes that are not UTF-8, control characters other than tabs and line
// ends), or far too much of it, is a damaged file, of which no value is trusted.
bool IsText(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray contents = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError || contents.size() > kMaxFileSize) {
        return false;
    }
    for (const char c : contents) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F) {
            return false;
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // Decoding is what finds the errors.
    const QString strText = decoder.decode(contents);
    return !decoder.hasError();
}

// Each value is read strictly from its text: a value that is not entirely a number of its
// type, or a flag that is not true or false, leaves the field as it is.
template <class T>
void ReadNumber(const QSettings& file, const QString& strKey, T& value) {
    const std::string strText = file.value(strKey).toString().trimmed().toStdString();
    T parsed{};
    const char* const pEnd = strText.data() + strText.size();
    const auto result = std::from_chars(strText.data(), pEnd, parsed);
    if (!strText.empty() && result.ec == std::errc{} && result.ptr == pEnd) {
        value = parsed;
    }
}

void ReadFlag(const QSettings& file, const QString& strKey, bool& value) {
    const QString strText = file.value(strKey).toString().trimmed();
    if (strText == QLatin1String("true")) {
        value = true;
    } else if (strText == QLatin1String("false")) {
        value = false;
    }
}

// The board's format by name; anything else leaves the field as it is.
constexpr std::pair<EBoardFormat, const char*> kFormatNames[] = {{EBoardFormat::kHashSets, "hash"},
                                                                 {EBoardFormat::kLines, "lines"}};
// Before the format had a key of its own, line ends ending sets meant the line format.
const QString kOldLineEndKey = QStringLiteral("Port/EndSetsAtLineEnd");

void ReadFormat(const QSettings& file, const QString& strKey, EBoardFormat& value) {
    bool bLineEnds = false;
    if (!file.contains(strKey)) {
        ReadFlag(file, kOldLineEndKey, bLineEnds);
        value = bLineEnds ? EBoardFormat::kLines : value;
        return;
    }
    const QString strText = file.value(strKey).toString().trimmed();
    for (const auto& [eFormat, szName] : kFormatNames) {
        if (strText == QLatin1String(szName)) {
            value = eFormat;
        }
    }
}

QString FormatText(EBoardFormat eFormat) {
    for (const auto& [eNamed, szName] : kFormatNames) {
        if (eNamed == eFormat) {
            return QLatin1String(szName);
        }
    }
    return {};
}

// Floats as their shortest exact text, so that a value comes back bit for bit.
QString FloatText(float f) {
    char szText[32];
    const auto result = std::to_chars(szText, szText + sizeof szText, f);
    return QString::fromLatin1(szText, static_cast<qsizetype>(result.ptr - szText));
}

// The one list of what is kept where: Visit(key, field) for every setting.
template <class Settings, class Visitor>
void VisitSettings(Settings& s, Visitor&& visit) {
    visit(QStringLiteral("Port/Port"), s.m_nPort);
    visit(QStringLiteral("Port/Speed"), s.m_nSpeed);
    visit(QStringLiteral("Port/StopBits"), s.m_nStopBits);
    visit(QStringLiteral("Port/Parity"), s.m_nParity);
    visit(QStringLiteral("Port/TypedSpeed"), s.m_nTypedSpeed);
    visit(QStringLiteral("Port/BoardFormat"), s.m_eBoardFormat);
    visit(QStringLiteral("Port/Reconnect"), s.m_bReconnect);
    visit(QStringLiteral("Send/BarShown"), s.m_bSendBarShown);
    visit(QStringLiteral("Plot/KeepCollectingWhenScrolled"), s.m_bKeepCollectingWhenScrolled);
    visit(QStringLiteral("Plot/PointsPerDiv"), s.m_fPointsPerDiv);
    visit(QStringLiteral("Plot/DoublePpdAtMax"), s.m_bDoublePpdAtMax);
    visit(QStringLiteral("Plot/YMax"), s.m_fYMax);
    visit(QStringLiteral("Plot/YMin"), s.m_fYMin);
    visit(QStringLiteral("Plot/AutoScale"), s.m_bAutoScale);
    visit(QStringLiteral("Plot/XAxisInSeconds"), s.m_bXAxisInSeconds);
    visit(QStringLiteral("View/Statistics"), s.m_bShowStatistics);
    visit(QStringLiteral("Trigger/Channel"), s.m_nTriggerChannel);
    visit(QStringLiteral("Trigger/Level"), s.m_fTriggerLevel);
    visit(QStringLiteral("Trigger/Edge"), s.m_nTriggerEdge);
    visit(QStringLiteral("Trigger/Position"), s.m_nTriggerPosition);
    visit(QStringLiteral("Trigger/Mode"), s.m_nTriggerMode);
    visit(QStringLiteral("Plot/Legend"), s.m_bLegend);
    visit(QStringLiteral("Plot/LegendCorner"), s.m_nLegendCorner);
    visit(QStringLiteral("File/SaveHeaderLine"), s.m_bSaveHeaderLine);
    for (std::size_t i = 0; i < s.m_vChannels.size(); ++i) {
        auto& channel = s.m_vChannels[i];
        const QString strGroup = QStringLiteral("Channel%1").arg(i + 1);
        visit(strGroup + QStringLiteral("/Color"), channel.m_nColor);
        visit(strGroup + QStringLiteral("/PointType"), channel.m_nPointType);
        visit(strGroup + QStringLiteral("/Interpolate"), channel.m_bInterpolate);
        visit(strGroup + QStringLiteral("/MarkMinMax"), channel.m_bMarkMinMax);
        visit(strGroup + QStringLiteral("/SoundEnabled"), channel.m_bSoundEnabled);
        visit(strGroup + QStringLiteral("/BeepLimitMin"), channel.m_fBeepLimitMin);
        visit(strGroup + QStringLiteral("/BeepLimitMax"), channel.m_fBeepLimitMax);
        visit(strGroup + QStringLiteral("/Name"), channel.m_strName);
    }
}

bool IsBlank(const QString& strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) && file.read(kMaxFileSize).trimmed().isEmpty();
}

// Whether the file holds at least one of the program's keys.
bool IsSettingsFile(const QSettings& file) {
    SAppSettings probe;
    bool bFound = false;
    VisitSettings(probe, [&](const QString& strKey, auto&) { bFound |= file.contains(strKey); });
    return bFound || file.contains(QStringLiteral("Window/Width")) || file.contains(kOldLineEndKey);
}

const QString kLineEndKey = QStringLiteral("Send/LineEnd");
const QString kHistoryArray = QStringLiteral("SendHistory");
const QString kHistoryLine = QStringLiteral("Line");

void ReadSendSettings(QSettings& file, SAppSettings& settings) {
    ELineEnd eLineEnd = kDefaultLineEnd;
    if (ParseLineEndName(file.value(kLineEndKey).toString().toStdString(), &eLineEnd)) {
        settings.m_eLineEnd = eLineEnd;
    }
    // The count is the file's word: a damaged one must not make millions of empty lines.
    const int nLines = static_cast<int>(
        std::min<qsizetype>(file.beginReadArray(kHistoryArray), file.childGroups().size()));
    for (int k = 0; k < nLines; ++k) {
        file.setArrayIndex(k);
        settings.m_vSendHistory.push_back(file.value(kHistoryLine).toString().toStdString());
    }
    file.endArray();
}

void WriteSendSettings(QSettings& file, const SAppSettings& settings) {
    file.setValue(kLineEndKey, QString::fromLatin1(LineEndName(settings.m_eLineEnd)));
    file.beginWriteArray(kHistoryArray, static_cast<int>(settings.m_vSendHistory.size()));
    for (std::size_t k = 0; k < settings.m_vSendHistory.size(); ++k) {
        file.setArrayIndex(static_cast<int>(k));
        file.setValue(kHistoryLine, QString::fromStdString(settings.m_vSendHistory[k]));
    }
    file.endArray();
}

void VisitWindow(auto& window, auto&& visit) {
    visit(QStringLiteral("Window/X"), window.m_nX);
    visit(QStringLiteral("Window/Y"), window.m_nY);
    visit(QStringLiteral("Window/Width"), window.m_nWidth);
    visit(QStringLiteral("Window/Height"), window.m_nHeight);
    visit(QStringLiteral("Window/Maximized"), window.m_bMaximized);
}

} // namespace

CSettingsStore::CSettingsStore(QString strPath) : m_strPath(std::move(strPath)) {}

QString CSettingsStore::UserSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/KovraPlotter/KovraPlotter.conf");
}

SAppSettings CSettingsStore::Load(ELoad* peLoad) const {
    SAppSettings settings;
    ELoad eIgnored;
    ELoad& eLoad = peLoad != nullptr ? *peLoad : eIgnored;
    eLoad = ELoad::kMissing;
    if (m_strPath.isEmpty() || KindOf(m_strPath) == EPathKind::kMissing) {
        return settings;
    }
    // Only a regular file is read: a FIFO would block the start, a device or a huge file
    // is no settings file.
    eLoad = ELoad::kNotSettings;
    if (KindOf(m_strPath) != EPathKind::kRegularFile || !IsText(m_strPath)) {
        return settings;
    }
    QSettings file(m_strPath, QSettings::IniFormat);
    // Text that holds none of the settings (a note, a data file) is somebody else's file;
    // an empty one is a settings file with nothing in it yet.
    if (file.status() != QSettings::NoError || (!IsBlank(m_strPath) && !IsSettingsFile(file))) {
        return settings;
    }
    eLoad = ELoad::kLoaded;
    const auto read = [&file](const QString& strKey, auto& value) {
        using T = std::remove_reference_t<decltype(value)>;
        if constexpr (std::is_same_v<T, bool>) {
            ReadFlag(file, strKey, value);
        } else if constexpr (std::is_same_v<T, EBoardFormat>) {
            ReadFormat(file, strKey, value);
        } else if constexpr (std::is_same_v<T, std::string>) {
            value = file.value(strKey).toString().toStdString();
        } else {
            ReadNumber(file, strKey, value);
        }
    };
    VisitSettings(settings, read);
    ReadSendSettings(file, settings);
    if (file.contains(QStringLiteral("Window/Width"))) {
        settings.m_window.m_bKnown = true;
        VisitWindow(settings.m_window, read);
    }
    ValidateSettings(settings);
    return settings;
}

bool CSettingsStore::Save(const SAppSettings& settings) const {
    // Whatever is at the path that is not a settings file is left alone.
    if (m_strPath.isEmpty() || KindOf(m_strPath) == EPathKind::kOther) {
        return false;
    }
    QSettings file(m_strPath, QSettings::IniFormat);
    file.clear();
    const auto write = [&file](const QString& strKey, const auto& value) {
        using T = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<T, float>) {
            file.setValue(strKey, FloatText(value));
        } else if constexpr (std::is_same_v<T, EBoardFormat>) {
            file.setValue(strKey, FormatText(value));
        } else if constexpr (std::is_same_v<T, std::string>) {
            file.setValue(strKey, QString::fromStdString(value));
        } else {
            file.setValue(strKey, value);
        }
    };
    VisitSettings(settings, write);
    WriteSendSettings(file, settings);
    if (settings.m_window.m_bKnown) {
        VisitWindow(settings.m_window, write);
    }
    file.sync();
    return file.status() == QSettings::NoError;
}
