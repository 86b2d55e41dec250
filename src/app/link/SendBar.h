#pragma once

#include "SendHistory.h"
#include "SendText.h"

#include <QWidget>

#include <functional>

class CCommandMap;
class CSerialBase;
class CStatusSink;
class QComboBox;
class QKeyEvent;
class QLineEdit;

// View > Send Bar: a line typed to the board, with the line end chosen after it, sent with
// Enter or Send. C escapes stand for any byte (SendText.h); a malformed one is refused and
// nothing is sent. Up and Down walk the lines sent before. Hidden until shown; the frame
// places it under the plot.
class CSendBar : public QWidget {
    Q_OBJECT

public:
    // fnPort gives the port open now, or null while not connected; status takes the results.
    CSendBar(CStatusSink& status, std::function<CSerialBase*()> fnPort, QWidget* pParent = nullptr);

    void RegisterCommands(CCommandMap& commands);

    // What Enter does: the line to the board; false when nothing went.
    bool SendLine();
    bool Shown() const { return m_bShown; }
    void SetShown(bool bShown);
    ELineEnd LineEnd() const;
    void SetLineEnd(ELineEnd eLineEnd);
    const CSendHistory& History() const { return m_history; }
    void SetHistory(const std::vector<std::string>& vLines);
    QLineEdit& Line() const { return *m_pLine; }

signals:
    // Something worth remembering changed: the history, the line end, whether it is shown.
    void SettingsChanged();
    // A key the bar has no use for (F2, F5, Escape...), for the plot's keys to work here too.
    void KeyNotTaken(QKeyEvent* pEvent);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    CStatusSink& m_status;
    std::function<CSerialBase*()> m_fnPort;
    QLineEdit* m_pLine;
    QComboBox* m_pLineEnd;
    CSendHistory m_history;
    bool m_bShown = false;
};
