#include "files/FileCommands.h"

#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "dialogs/StatusSink.h"
#include "dialogs/UserDialogs.h"
#include "files/JobRunner.h"
#include "session/AcquisitionSession.h"

#include "CsvWriter.h"
#include "PlotData.h"
#include "TimeStampedName.h"

#include <QWidget>

#include <cerrno>

namespace {

std::string FileNameOf(const std::string& strPath) {
    const std::size_t nSlash = strPath.rfind('/');
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

} // namespace

CFileCommands::CFileCommands(QWidget& window, CStatusSink& status,
                             std::function<void()> fnResetData,
                             CFileOpener::ShowLoaded fnShowLoaded,
                             std::function<bool(const std::string&)> fnIsRecorded)
    : m_window(window), m_status(status), m_fnIsRecorded(std::move(fnIsRecorded)),
      m_pJobs(new CJobRunner(&window)),
      m_pOpener(std::make_unique<CFileOpener>(window, status, *m_pJobs, std::move(fnResetData),
                                              std::move(fnShowLoaded))) {}

CFileCommands::~CFileCommands() = default;

void CFileCommands::RegisterCommands(CCommandMap& commands) {
    commands.Add(ID_FILE_SAVE, [this] { OnFileSave(); });
    commands.Add(ID_FILE_OPEN, [this] { OnFileOpen(); });
    commands.Add(ID_OTHER_QUICKCSV, [this] { OnQuickCsv(); });
}

bool CFileCommands::ReportCsvResult(const CExportResult& result) {
    switch (result.m_eStatus) {
    case EExportStatus::kOk:
        return true;
    case EExportStatus::kCannotOpen:
        UserDialogs().Notify(&m_window, OpeningFailedText(result.m_nErrno));
        return false;
    case EExportStatus::kWriteFailed:
        UserDialogs().Notify(&m_window, QStringLiteral("Problem writing file.."));
        return false;
    case EExportStatus::kNoMemory:
        UserDialogs().Notify(&m_window, QStringLiteral("Not enough memory to write the file.."));
        return false;
    case EExportStatus::kCancelled:
        m_status.SetStatusText("Export cancelled: %s not written",
                               FileNameOf(result.m_strPath).c_str());
        return false;
    }
    return false;
}

void CFileCommands::StartCsvExport(const std::string& strName, CsvWriter fnWrite,
                                   std::function<void(const CExportResult&)> fnReport,
                                   const SCsvOptions& options) {
    try {
        // The values stored now: collection goes on while the file is written.
        auto pSnapshot =
            std::make_shared<const CCsvSnapshot>(TakeCsvSnapshot(*g_pPlotData, options));
        auto pResult = std::make_shared<CExportResult>();
        m_pJobs->Start(
            QStringLiteral("Writing %1..").arg(QString::fromStdString(strName)),
            [pSnapshot, pResult, fnWrite = std::move(fnWrite)](CJobProgress& progress) {
                *pResult = fnWrite(*pSnapshot, progress);
            },
            [pResult, fnReport] { fnReport(*pResult); }, CJobRunner::EAtClose::kFinish);
    } catch (const std::bad_alloc&) {
        // Not even the list of the store's blocks could be had.
        fnReport({EExportStatus::kNoMemory, {}, ENOMEM});
    }
}

void CFileCommands::OnFileSave() {
    SSaveCheckBox headerLine{QStringLiteral("Write a header line"), m_bSaveHeaderLine};
    const QString strPath = UserDialogs().GetSaveFileName(
        &m_window, QStringLiteral("Comma separated files (*.csv);;All files (*)"),
        QStringLiteral("csv"), &headerLine);
    // The dialog's own event loop may have seen the program end.
    if (strPath.isEmpty() || g_pPlotData == nullptr) {
        return;
    }
    m_bSaveHeaderLine = headerLine.m_bChecked;
    SCsvOptions options{m_bSaveHeaderLine, {}};
    for (int i = 0; i < CPlotData::kChannelCount; ++i) {
        options.m_vNames.push_back(g_pPlotData->GetChannelName(i));
    }
    const std::string strTarget = strPath.toStdString();
    if (m_fnIsRecorded(strTarget)) {
        UserDialogs().Notify(&m_window, QStringLiteral("%1 is being recorded: save to another "
                                                       "file, or stop the recording first")
                                            .arg(QString::fromStdString(FileNameOf(strTarget))));
        return;
    }
    StartCsvExport(
        FileNameOf(strTarget),
        [strTarget](const CCsvSnapshot& snapshot, CJobProgress& progress) {
            return WriteCsv(snapshot, strTarget, &progress);
        },
        [this](const CExportResult& result) { ReportCsvResult(result); }, options);
}

void CFileCommands::OnFileOpen() {
    m_pOpener->Open();
}

bool CFileCommands::QuickCsv(std::string* pstrName) {
    const CExportResult result = WriteCsvToNewFile(*g_pPlotData, LocalTimeNow());
    *pstrName = result.m_strPath;
    return ReportCsvResult(result);
}

void CFileCommands::StartQuickCsv(bool bKey) {
    const std::tm tmNow = LocalTimeNow();
    StartCsvExport(
        MakeTimeStampedName(tmNow, ".csv"),
        [tmNow](const CCsvSnapshot& snapshot, CJobProgress& progress) {
            return WriteCsvToNewFile(snapshot, tmNow, {}, &progress);
        },
        [this, bKey](const CExportResult& result) {
            const bool bOk = ReportCsvResult(result);
            if (!bKey || result.m_eStatus == EExportStatus::kCancelled) {
                return;
            }
            if (bOk) {
                m_status.SetStatusText("%s", ("Channels dumped to " + result.m_strPath).c_str());
            } else {
                m_status.SetStatusText(
                    "%s", ("Error: channels not dumped to " + result.m_strPath).c_str());
            }
        },
        SCsvOptions());
}

void CFileCommands::OnQuickCsv() {
    StartQuickCsv(false);
}

void CFileCommands::OnKeyQuickCsv() {
    StartQuickCsv(true);
}
