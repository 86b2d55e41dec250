#pragma once

#include "BoardFormat.h"

#include <QString>
#include <QStringList>

#include <cstddef>

// What the command line asks for.
struct SCommandLine {
    bool m_bDemo = false;
    QStringList m_vPortMaps; // "COM1=/dev/ttyACM0"
    int m_nSnapshotAfterSeconds = -1;
    bool m_bControl = false;
    bool m_bHelp = false;
    bool m_bVersion = false;
    // DEVICE and --speed: connect at start to COM1..COM4 (0..3), a device path being mapped
    // to COM1; -1 for no DEVICE. m_dwSpeed 0 keeps the default speed.
    int m_nConnectPort = -1;
    QString m_strDevicePath;
    unsigned m_dwSpeed = 0;
    // Reconnect when the board returns, for this run (the remembered setting stays as it is).
    bool m_bReconnect = false;
    // --format: what the board sends, for this run; m_bFormatGiven false keeps the settings'.
    bool m_bFormatGiven = false;
    EBoardFormat m_eFormat = EBoardFormat::kHashSets;
    // Bytes the stored values may take; 0 for the default rule (see MemoryBudget.h).
    std::size_t m_nMemoryBudget = 0;
    // The settings file; empty keeps no settings (every start with the defaults).
    QString m_strSettingsPath;
};

// The environment variable naming a settings file when --settings is not given.
inline constexpr char kSettingsVariable[] = "KOVRA_SETTINGS";

// Parses the arguments (the program name first); false with a message on bad input. The
// settings file is the one --settings or KOVRA_SETTINGS names; the caller chooses the
// user's own file when neither does.
bool ParseCommandLine(const QStringList& vArguments, SCommandLine* pCommandLine, QString* pstrError,
                      QString* pstrHelp = nullptr);
