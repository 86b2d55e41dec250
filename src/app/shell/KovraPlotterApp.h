#pragma once

#include "shell/CommandLine.h"

#include <memory>

class CDevSimBoard;
class CTestControl;
class CMainFrame;
class CSettingsKeeper;

// The application: start-up of the frame and view, and the About box.
class CKovraPlotterApp {
public:
    CKovraPlotterApp();
    ~CKovraPlotterApp();

    // Creates and shows the main window; false when the program should not start.
    bool InitInstance(const SCommandLine& commandLine);
    CMainFrame* MainFrame() const { return m_pFrame.get(); }
    void OnAppAbout();
    void OnFilePrintSetup();

private:
    void ConnectFromCommandLine(const SCommandLine& commandLine);
    void TakeSnapshotAndQuit();
    bool StartDemoBoard();

    // Declared first so that it stops after the frame has closed its port.
    std::unique_ptr<CDevSimBoard> m_pDemoBoard;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::unique_ptr<CSettingsKeeper> m_pSettings;
    std::unique_ptr<CTestControl> m_pControl;
};
