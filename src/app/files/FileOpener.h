#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class CJobRunner;
class CStatusSink;
class QWidget;
struct CLoadedData;

// File > Open: a data file (an export, a recording, another program's CSV or TSV) takes the
// place of what the store holds. The file is read off the user-interface thread, with a
// progress dialog whose Cancel leaves the store as it was; collection is switched off, so
// that a connected board does not mix into the loaded values.
class CFileOpener {
public:
    // What follows once the store holds a file's values (collection off, the newest window
    // shown), told the rows' times in milliseconds when the file has them.
    using ShowLoaded = std::function<void(const std::vector<std::uint32_t>& vTimesMs)>;

    // fnResetData empties the store as File > New does.
    CFileOpener(QWidget& window, CStatusSink& status, CJobRunner& jobs,
                std::function<void()> fnResetData, ShowLoaded fnShowLoaded)
        : m_window(window), m_status(status), m_jobs(jobs), m_fnResetData(std::move(fnResetData)),
          m_fnShowLoaded(std::move(fnShowLoaded)) {}

    // The open dialog, the question of New when data is present, then the reading.
    void Open();
    bool Loading() const { return m_bLoading; }

private:
    void Apply(CLoadedData& data, const std::string& strName);

    QWidget& m_window;
    CStatusSink& m_status;
    CJobRunner& m_jobs;
    std::function<void()> m_fnResetData;
    ShowLoaded m_fnShowLoaded;
    bool m_bLoading = false;
};
