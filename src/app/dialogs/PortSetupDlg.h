#pragma once

#include "BoardFormat.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PortSetupDlg;
}

// Port, speed, stop bits and parity as list positions (-1 selects nothing), a speed typed
// that the list does not have, and what the board sends.
class CPortSetupDlg : public QDialog {
    Q_OBJECT

public:
    explicit CPortSetupDlg(QWidget* pParent = nullptr);
    ~CPortSetupDlg() override;

    int m_nParity = -1;
    int m_nPort = -1;
    int m_nSpeed = -1;
    int m_nStopBits = -1;
    // In bits per second, with m_nSpeed -1; 0 when the list's speed applies. A text that is
    // no speed at all leaves both as they were.
    int m_nTypedSpeed = 0;
    EBoardFormat m_eBoardFormat = EBoardFormat::kHashSets;

    Ui::PortSetupDlg& Controls() { return *m_pUi; }

protected:
    void showEvent(QShowEvent* pEvent) override;

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::PortSetupDlg> m_pUi;
};
