#pragma once

#include <functional>

class CCommandMap;
class CPlotPainter;
class CStatusSink;
class QWidget;

// The Plot menu's settings and the channel commands: the X Axis, Y Axis and Channel Setup
// dialogs, Fit Y, Keep Collecting While Scrolled Back, and showing or hiding a channel.
class CPlotCommands {
public:
    // window parents the dialogs; fnRepaint repaints the plot; fnStateChanged says that menu
    // items may change.
    CPlotCommands(QWidget& window, CStatusSink& status, CPlotPainter& painter,
                  std::function<void()> fnRepaint, std::function<void()> fnStateChanged);

    void RegisterCommands(CCommandMap& commands);

    void OnPlotXAxis();
    void OnPlotYAxis();
    void OnChannelSetup();
    // Y Max and Y Min once to the values in view, with a margin.
    void OnFitYRange();
    void OnKeepCollectingWhenScrolled();
    void OnChannelToggle(int nChannel);

    // Runs when Channel Setup may have changed the channels' names.
    std::function<void()> m_fnNamesChanged;

private:
    QWidget& m_window;
    CStatusSink& m_status;
    CPlotPainter& m_painter;
    std::function<void()> m_fnRepaint;
    std::function<void()> m_fnStateChanged;
};
