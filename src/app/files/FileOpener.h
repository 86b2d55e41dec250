#pragma once

#include <string>

class CKovraPlotterView;
struct CLoadedData;

// File > Open: a data file (an export, a recording, another program's CSV or TSV) takes the
// place of what the store holds. The file is read off the user-interface thread, with a
// progress dialog whose Cancel leaves the store as it was; collection is switched off, so
// that a connected board does not mix into the loaded values.
class CFileOpener {
public:
    explicit CFileOpener(CKovraPlotterView& view) : m_view(view) {}

    // The open dialog, the question of New when data is present, then the reading.
    void Open();
    bool Loading() const { return m_bLoading; }

private:
    void Apply(CLoadedData& data, const std::string& strName);

    CKovraPlotterView& m_view;
    bool m_bLoading = false;
};
