#include "files/FileOpener.h"

#include "dialogs/StatusSink.h"
#include "dialogs/UserDialogs.h"
#include "files/JobRunner.h"
#include "session/AcquisitionSession.h"

#include "DataFileReader.h"
#include "PlotData.h"

#include <QFileInfo>

#include <algorithm>
#include <memory>

void CFileOpener::Open() {
    // One file at a time; a second Ctrl+O before the progress dialog shows does nothing.
    if (m_bLoading) {
        return;
    }
    const QString strPath = UserDialogs().GetOpenFileName(
        &m_window, QStringLiteral("Comma separated files (*.csv);;All files (*)"));
    // The dialogs' own event loops may have seen the program end.
    if (strPath.isEmpty() || g_pPlotData == nullptr) {
        return;
    }
    if (g_pPlotData->GetTotalSampleCount() > 0 &&
        (!UserDialogs().Confirm(&m_window,
                                QStringLiteral("Are you sure you want to teamkill all data?")) ||
         g_pPlotData == nullptr)) {
        return;
    }
    const std::string strName = QFileInfo(strPath).fileName().toStdString();
    auto pData = std::make_shared<CLoadedData>();
    // The file's values take the store's place: they get what the store may take, so that a
    // file larger than memory stops with a message instead of exhausting the system.
    std::shared_ptr<CMemoryGauge> pGauge = g_pPlotData->MakeGaugeForReplacement();
    m_bLoading = true;
    m_jobs.Start(
        QStringLiteral("Loading %1..").arg(QFileInfo(strPath).fileName()),
        [pData, pGauge, strFile = strPath.toStdString()](CJobProgress& progress) {
            *pData = ReadDataFile(strFile, &progress, pGauge.get());
        },
        [this, pData, strName] {
            m_bLoading = false;
            Apply(*pData, strName);
        });
}

void CFileOpener::Apply(CLoadedData& data, const std::string& strName) {
    switch (data.m_eStatus) {
    case ELoadStatus::kOk:
        break;
    case ELoadStatus::kCannotOpen:
        UserDialogs().Notify(&m_window, OpeningFailedText(data.m_nErrno));
        return;
    case ELoadStatus::kNotDataFile:
        UserDialogs().Notify(
            &m_window, QStringLiteral("Not a data file: %1").arg(QString::fromStdString(strName)));
        return;
    case ELoadStatus::kReadFailed:
        UserDialogs().Notify(&m_window, QStringLiteral("Problem reading file.."));
        return;
    case ELoadStatus::kNoMemory:
        UserDialogs().Notify(
            &m_window,
            QStringLiteral("Not enough memory to load %1").arg(QString::fromStdString(strName)));
        return;
    case ELoadStatus::kCancelled:
        m_status.SetStatusText("Loading cancelled: %s not loaded", strName.c_str());
        return;
    }
    m_fnResetData();
    for (int c = 0; c < data.m_nColumns; ++c) {
        g_pPlotData->AdoptSamples(c, data.m_channels[static_cast<std::size_t>(c)]);
    }
    g_pPlotData->m_nLastSetCount = static_cast<std::uint8_t>(data.m_nColumns);
    // The header's names, where the user typed none; labels of these names go on here.
    const int nNamed = std::min(data.m_nColumns, static_cast<int>(data.m_vNames.size()));
    for (int c = 0; c < nNamed; ++c) {
        if (!data.m_vNames[static_cast<std::size_t>(c)].empty()) {
            g_pPlotData->SetStreamChannelName(c, data.m_vNames[static_cast<std::size_t>(c)]);
        }
    }
    const std::string strDropped =
        data.m_nDroppedColumns > 0
            ? ", " + std::to_string(data.m_nDroppedColumns) + " columns beyond the tenth dropped"
            : std::string();
    m_status.SetStatusText("Loaded %llu rows from %s (%llu skipped%s)",
                           static_cast<unsigned long long>(data.m_nRows), strName.c_str(),
                           static_cast<unsigned long long>(data.m_nSkipped), strDropped.c_str());
    m_fnShowLoaded(data.m_vTimeMs);
}
