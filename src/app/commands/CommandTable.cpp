#include "commands/CommandTable.h"

namespace {

constexpr SMenuItem kFileMenu[] = {
    {"&New", "Ctrl+N", ID_FILE_NEW},
    {"&Open..", "Ctrl+O", ID_FILE_OPEN},
    {"&Save..", "Ctrl+S", ID_FILE_SAVE},
    {nullptr, nullptr, ID_SEPARATOR},
    {"Record to file..", nullptr, ID_FILE_RECORD},
    {"Stop recording", nullptr, ID_FILE_STOPRECORDING},
    {nullptr, nullptr, ID_SEPARATOR},
    {"&Print...", "Ctrl+P", ID_FILE_PRINT},
    {"Print Pre&view", nullptr, ID_FILE_PRINT_PREVIEW},
    {"P&rint Setup...", nullptr, ID_FILE_PRINT_SETUP},
    {nullptr, nullptr, ID_SEPARATOR},
    {"E&xit", nullptr, ID_APP_EXIT},
};

constexpr SMenuItem kConnectionMenu[] = {
    {"Port Setup..", nullptr, ID_CONNECTION_PORTSETUP},
    {"Connect (F2)", nullptr, ID_CONNECTION_CONNECT},
    {"Disconnect (F3)", nullptr, ID_CONNECTION_DISCONNECT},
    {nullptr, nullptr, ID_SEPARATOR},
    {"Reconnect When the Board Returns", nullptr, ID_CONNECTION_RECONNECT},
};

constexpr SMenuItem kPlotMenu[] = {
    {"Y Axis..", nullptr, ID_PLOT_YAXIS},
    {"X Axis..", nullptr, ID_PLOT_XAXIS},
    {"Interpreter Setup..", nullptr, ID_PLOT_INTERPRETERSETUP},
    {"Channel Setup..", nullptr, ID_PLOT_CHANNELSETUP},
    {nullptr, nullptr, ID_SEPARATOR},
    {"Fit Y Range to Data", "F7", ID_PLOT_FITY},
    {"Keep Collecting While Scrolled Back", nullptr, ID_PLOT_KEEPCOLLECTING},
    {nullptr, nullptr, ID_SEPARATOR},
    {"Legend", nullptr, ID_PLOT_LEGEND},
    {"Legend Position", nullptr, ID_PLOT_LEGENDPOSITION},
    {nullptr, nullptr, ID_SEPARATOR},
    {"Zoom Back", "Ctrl+-", ID_PLOT_ZOOMBACK},
    {"Trigger..", nullptr, ID_PLOT_TRIGGER},
    {"Arm Trigger", "Ctrl+R", ID_PLOT_ARMTRIGGER},
    {"X Axis in Seconds", nullptr, ID_PLOT_XAXISSECONDS},
};

constexpr SMenuItem kViewMenu[] = {
    {"Statistics", nullptr, ID_VIEW_STATISTICS},
    {"Send Bar", "Ctrl+T", ID_VIEW_SENDBAR},
};

constexpr SMenuItem kOtherMenu[] = {
    {"Toggle Plot on/off (F5)", nullptr, ID_OTHER_TOGGLEPLOT},
    {"Take Screenshot (F9)", nullptr, ID_OTHER_SCREENSHOT},
    {"Quick CSV export (F8)", nullptr, ID_OTHER_QUICKCSV},
};

constexpr SMenuItem kHelpMenu[] = {
    {"&About KovraPlotter...", nullptr, ID_APP_ABOUT},
    {"Help", nullptr, ID_HELP_HELP},
};

constexpr SMenuPopup kMenuBar[] = {
    {"&File", kFileMenu}, {"&Connection", kConnectionMenu}, {"&Plot", kPlotMenu},
    {"&View", kViewMenu}, {"&Other", kOtherMenu},           {"&Help", kHelpMenu},
};

constexpr SAccelerator kAccelerators[] = {
    {"Alt+1", ID_CHANNEL_TOGGLE1},
    {"Alt+2", ID_CHANNEL_TOGGLE1 + 1},
    {"Alt+3", ID_CHANNEL_TOGGLE1 + 2},
    {"Alt+4", ID_CHANNEL_TOGGLE1 + 3},
    {"Alt+5", ID_CHANNEL_TOGGLE1 + 4},
    {"Alt+6", ID_CHANNEL_TOGGLE1 + 5},
    {"Alt+7", ID_CHANNEL_TOGGLE1 + 6},
    {"Alt+8", ID_CHANNEL_TOGGLE1 + 7},
    {"Alt+9", ID_CHANNEL_TOGGLE1 + 8},
    {"Alt+0", ID_CHANNEL_TOGGLE10},
    {"Ctrl+C", ID_EDIT_COPY},
    {"Ctrl+Ins", ID_EDIT_COPY},
    {"Ctrl+N", ID_FILE_NEW},
    {"Ctrl+O", ID_FILE_OPEN},
    {"Ctrl+P", ID_FILE_PRINT},
    {"Ctrl+S", ID_FILE_SAVE},
    {"Ctrl+V", ID_EDIT_PASTE},
    {"Shift+Ins", ID_EDIT_PASTE},
    {"Ctrl+X", ID_EDIT_CUT},
    {"Shift+Del", ID_EDIT_CUT},
    {"Ctrl+Z", ID_EDIT_UNDO},
    {"Alt+Backspace", ID_EDIT_UNDO},
    {"F7", ID_PLOT_FITY},
    {"Ctrl+T", ID_VIEW_SENDBAR},
    {"Ctrl+-", ID_PLOT_ZOOMBACK},
    {"Ctrl+R", ID_PLOT_ARMTRIGGER},
    {"F6", ID_NEXT_PANE},
    {"Shift+F6", ID_PREV_PANE},
};

} // namespace

std::span<const SMenuPopup> MenuBar() {
    return kMenuBar;
}
std::span<const SAccelerator> Accelerators() {
    return kAccelerators;
}

const char* MenuPrompt(int nId) {
    switch (nId) {
    case ID_FILE_NEW:
        return "Create a new document";
    case ID_FILE_OPEN:
        return "Open an existing document";
    case ID_FILE_SAVE:
        return "Save the active document";
    case ID_FILE_PRINT:
        return "Print the active document";
    case ID_FILE_PRINT_PREVIEW:
        return "Display full pages";
    case ID_FILE_PRINT_SETUP:
        return "Change the printer and printing options";
    case ID_APP_EXIT:
        return "Quit the application; prompts to save documents";
    case ID_APP_ABOUT:
        return "Display program information, version number and copyright";
    default:
        return "";
    }
}
