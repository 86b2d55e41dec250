#pragma once

// What a command's update handler decides: whether its item is enabled and checked.
struct CCmdUI {
    int m_nID = 0;
    bool m_bEnabled = false;
    bool m_bChecked = false;

    void Enable(bool bOn = true) { m_bEnabled = bOn; }
    void SetCheck(bool bChecked) { m_bChecked = bChecked; }
};
