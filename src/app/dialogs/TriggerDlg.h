#pragma once

#include "Trigger.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLineEdit;

// The trigger: on or off, channel, level, edge, where the crossing sits in the window and
// the mode. A level or position that is not a number keeps the value it had.
class CTriggerDlg : public QDialog {
    Q_OBJECT

public:
    // vChannels: the channels' labels, "ch 1" to "ch 10".
    CTriggerDlg(QWidget* pParent, const QStringList& vChannels);

    STriggerSettings m_settings;

protected:
    void showEvent(QShowEvent* pEvent) override;

public slots:
    void accept() override;

private:
    QCheckBox* m_pOn;
    QComboBox* m_pChannel;
    QLineEdit* m_pLevel;
    QComboBox* m_pEdge;
    QLineEdit* m_pPosition;
    QComboBox* m_pMode;
};
