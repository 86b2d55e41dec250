#pragma once

#include "files/FileOpener.h"

#include <functional>
#include <memory>
#include <string>

class CCommandMap;
class CJobProgress;
class CJobRunner;
class CStatusSink;
class QWidget;
struct CCsvSnapshot;
struct CExportResult;
struct SCsvOptions;

// The ways data leaves and enters the program as files: File > Save and the quick CSV export
// (F8), written off the user-interface thread while collection goes on, and File > Open.
class CFileCommands {
public:
    // window parents the dialogs and the progress; an opened file's values go to the store
    // between fnResetData and fnShowLoaded (see CFileOpener); fnIsRecorded tells whether a path
    // is the file being recorded, which Save must not replace.
    CFileCommands(QWidget& window, CStatusSink& status, std::function<void()> fnResetData,
                  CFileOpener::ShowLoaded fnShowLoaded,
                  std::function<bool(const std::string&)> fnIsRecorded);
    ~CFileCommands();

    void RegisterCommands(CCommandMap& commands);

    void OnFileSave();
    void OnFileOpen();
    void OnQuickCsv();
    // F8: the same, with its status texts.
    void OnKeyQuickCsv();
    // The quick export to a new time-stamped file, written before it returns; false on
    // failure. The name tried is returned either way.
    bool QuickCsv(std::string* pstrName);

    // Long work off this thread: exports, loading a file.
    CJobRunner& Jobs() const { return *m_pJobs; }

    // Save's "Write a header line", as the user last left it.
    bool m_bSaveHeaderLine = false;

private:
    using CsvWriter = std::function<CExportResult(const CCsvSnapshot&, CJobProgress&)>;
    bool ReportCsvResult(const CExportResult& result);
    // Writes what the store holds now, off this thread; fnReport gets the result here.
    void StartCsvExport(const std::string& strName, CsvWriter fnWrite,
                        std::function<void(const CExportResult&)> fnReport,
                        const SCsvOptions& options);
    // Quick CSV export; from the F8 key with its status texts.
    void StartQuickCsv(bool bKey);

    QWidget& m_window;
    CStatusSink& m_status;
    std::function<bool(const std::string&)> m_fnIsRecorded;
    CJobRunner* m_pJobs;
    std::unique_ptr<CFileOpener> m_pOpener;
};
