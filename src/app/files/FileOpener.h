#pragma once

#include <string>

class CJobRunner;
class CStatusSink;
class QWidget;
struct CLoadedData;

// Where the values of an opened file go: the program around File > Open.
class CLoadTarget {
public:
    // Empties the store, as File > New does.
    virtual void ResetData() = 0;
    // The store holds the loaded values now: collection off, the newest window shown.
    virtual void ShowLoadedData() = 0;

protected:
    ~CLoadTarget() = default;
};

// File > Open: a data file (an export, a recording, another program's CSV or TSV) takes the
// place of what the store holds. The file is read off the user-interface thread, with a
// progress dialog whose Cancel leaves the store as it was; collection is switched off, so
// that a connected board does not mix into the loaded values.
class CFileOpener {
public:
    CFileOpener(QWidget& window, CStatusSink& status, CJobRunner& jobs, CLoadTarget& target)
        : m_window(window), m_status(status), m_jobs(jobs), m_target(target) {}

    // The open dialog, the question of New when data is present, then the reading.
    void Open();
    bool Loading() const { return m_bLoading; }

private:
    void Apply(CLoadedData& data, const std::string& strName);

    QWidget& m_window;
    CStatusSink& m_status;
    CJobRunner& m_jobs;
    CLoadTarget& m_target;
    bool m_bLoading = false;
};
