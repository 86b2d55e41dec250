#include "link/SendBar.h"

#include "commands/CommandIds.h"
#include "commands/CommandMap.h"
#include "dialogs/StatusSink.h"

#include "PlatformError.h"
#include "SerialBase.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstring>
#include <iterator>
#include <string>
#include <utility>

CSendBar::CSendBar(CStatusSink& status, std::function<CSerialBase*()> fnPort, QWidget* pParent)
    : QWidget(pParent), m_status(status), m_fnPort(std::move(fnPort)), m_pLine(new QLineEdit),
      m_pLineEnd(new QComboBox) {
    m_pLine->setObjectName(QStringLiteral("editSend"));
    m_pLine->setPlaceholderText(QStringLiteral("Text for the board; \\n, \\r, \\t, \\\\ and "
                                               "\\xNN stand for bytes"));
    m_pLine->installEventFilter(this);
    m_pLineEnd->setObjectName(QStringLiteral("comboLineEnd"));
    for (const ELineEnd eLineEnd : kLineEnds) {
        m_pLineEnd->addItem(QString::fromLatin1(LineEndName(eLineEnd)));
    }
    SetLineEnd(kDefaultLineEnd);
    auto* pSend = new QPushButton(QStringLiteral("Send"));
    pSend->setObjectName(QStringLiteral("buttonSend"));
    pSend->setAutoDefault(false);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(4, 2, 4, 2);
    pLayout->addWidget(new QLabel(QStringLiteral("Send:")));
    pLayout->addWidget(m_pLine, 1);
    pLayout->addWidget(new QLabel(QStringLiteral("Line end:")));
    pLayout->addWidget(m_pLineEnd);
    pLayout->addWidget(pSend);
    connect(m_pLine, &QLineEdit::returnPressed, this, &CSendBar::SendLine);
    connect(pSend, &QPushButton::clicked, this, &CSendBar::SendLine);
    connect(m_pLineEnd, &QComboBox::currentIndexChanged, this, &CSendBar::SettingsChanged);
    setVisible(false);
}

void CSendBar::RegisterCommands(CCommandMap& commands) {
    commands.Add(
        ID_VIEW_SENDBAR, [this] { SetShown(!m_bShown); },
        [this](CCmdUI& cmdUI) {
            cmdUI.Enable();
            cmdUI.SetCheck(m_bShown);
        });
}

void CSendBar::SetShown(bool bShown) {
    if (bShown == m_bShown) {
        return;
    }
    m_bShown = bShown;
    setVisible(bShown);
    // Shown by the user, to be typed in; not when the settings show it at start.
    if (bShown && isVisible()) {
        m_pLine->setFocus();
    }
    emit SettingsChanged();
}

ELineEnd CSendBar::LineEnd() const {
    const int nIndex = m_pLineEnd->currentIndex();
    return nIndex >= 0 && nIndex < static_cast<int>(std::size(kLineEnds)) ? kLineEnds[nIndex]
                                                                          : kDefaultLineEnd;
}

void CSendBar::SetLineEnd(ELineEnd eLineEnd) {
    for (int k = 0; k < static_cast<int>(std::size(kLineEnds)); ++k) {
        if (kLineEnds[k] == eLineEnd) {
            m_pLineEnd->setCurrentIndex(k);
        }
    }
}

void CSendBar::SetHistory(const std::vector<std::string>& vLines) {
    m_history.SetLines(vLines);
}

bool CSendBar::SendLine() {
    const std::string strText = m_pLine->text().toStdString();
    std::string strBytes;
    std::string strError;
    if (!EncodeSendText(strText, LineEnd(), &strBytes, &strError)) {
        m_status.SetStatusText("Not sent: %s", strError.c_str());
        return false;
    }
    CSerialBase* pPort = m_fnPort();
    if (pPort == nullptr) {
        m_status.SetStatusText("Not connected: nothing sent");
        return false;
    }
    if (strBytes.empty()) {
        m_status.SetStatusText("Nothing to send");
        return false;
    }
    DWORD nSent = 0;
    const int nResult = SendToPort(*pPort, strBytes, &nSent);
    if (nResult == ERROR_SUCCESS) {
        m_status.SetStatusText("Sent %zu bytes: %s", strBytes.size(),
                               EscapeBytes(strBytes).c_str());
    } else if (nResult == ERROR_TIMEOUT) {
        m_status.SetStatusText("Send timed out: the board took %u of %zu bytes",
                               static_cast<unsigned>(nSent), strBytes.size());
    } else {
        const int nErrno = LastSystemErrno();
        m_status.SetStatusText("Send failed (%s): %u of %zu bytes sent",
                               nErrno != 0 ? std::strerror(nErrno)
                                           : ("error " + std::to_string(nResult)).c_str(),
                               static_cast<unsigned>(nSent), strBytes.size());
    }
    if (nSent == 0) {
        return false;
    }
    m_history.Add(strText);
    m_pLine->clear();
    emit SettingsChanged();
    return true;
}

void CSendBar::keyPressEvent(QKeyEvent* pEvent) {
    emit KeyNotTaken(pEvent);
}

bool CSendBar::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == m_pLine && pEvent->type() == QEvent::KeyPress) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Up || nKey == Qt::Key_Down) {
            const std::string strTyped = m_pLine->text().toStdString();
            m_pLine->setText(QString::fromStdString(nKey == Qt::Key_Up ? m_history.Up(strTyped)
                                                                       : m_history.Down(strTyped)));
            return true;
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}
