#pragma once

#include "view/PlotOverlay.h"

#include "Trigger.h"

#include <functional>
#include <string>

class CCommandMap;
class CPlotPainter;
class QWidget;

// The trigger (Plot > Trigger.., off by default; Plot > Arm Trigger): holds the window on the
// crossing of a level, so that a repeating signal stands still while collection, recording
// and the statistics go on. Scrolling or zooming leaves that view until F5 or End. The level
// is drawn on the window.
class CTriggerControl : public CPlotOverlay {
public:
    // window parents the dialog; fnRepaint repaints the plot.
    CTriggerControl(QWidget& window, CPlotPainter& painter, std::function<void()> fnRepaint);

    void RegisterCommands(CCommandMap& commands);

    void OnTriggerDialog();
    void OnArm();
    // New settings, as the dialog gives them.
    void Apply(const STriggerSettings& settings);
    // Remembered settings at start: the trigger itself stays off until asked for.
    void Restore(const STriggerSettings& settings);

    // New sets: crossings looked for, and the window put on the one held.
    void OnSetsCompleted();
    // The store was emptied or took an opened file's values.
    void OnStoreChanged();
    // The user moved the window (a scroll, a zoom): the trigger no longer places it.
    void LeaveView();
    // F5 or End: back to the trigger's window.
    void ResumeView();
    bool InView() const { return m_bInView; }

    const STriggerSettings& Settings() const { return m_settings; }
    const CTrigger& Trigger() const { return m_trigger; }
    // "TRIG ch1 ↑ 1.00: armed", for the status pane; empty when off.
    std::string StatusText() const;

    bool Visible() const override { return m_settings.m_bOn; }
    void Draw(QPainter& painter, const CPlotGeometry& geometry) override;

private:
    void Place();

    QWidget& m_window;
    CPlotPainter& m_painter;
    std::function<void()> m_fnRepaint;
    STriggerSettings m_settings;
    CTrigger m_trigger;
    bool m_bInView = false;
};
