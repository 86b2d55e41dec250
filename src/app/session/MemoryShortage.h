#pragma once

class CPlotData;

// What the view does when memory runs short: a full store stops collection once, with a
// message, and starts it again when it has room; a paint or capture that cannot get its
// memory is told once, not at every try.
class CMemoryShortage {
public:
    static constexpr const char* kStoreFullText =
        "Memory full: collection stopped. Export with F8.";
    static constexpr const char* kPaintFailedText = "Not enough memory to draw the plot.";

    // After values were offered to the store: true the first time it is found full, when
    // the caller stops collecting and shows kStoreFullText.
    bool StoreBecameFull(const CPlotData& data);
    // The user wants to collect again while the store is full: true when it has room now.
    bool Resume(CPlotData& data);
    // After the store was cleared.
    void StoreCleared() { m_bFullTold = false; }

    // A paint that could not get its memory: true when this is the first since the last one
    // that could, when the caller says so.
    bool PaintFailed();
    void PaintSucceeded() { m_bPaintFailureTold = false; }

private:
    bool m_bFullTold = false;
    bool m_bPaintFailureTold = false;
};
