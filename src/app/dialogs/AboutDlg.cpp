#include "dialogs/AboutDlg.h"

#include "ui_AboutDlg.h"

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent), m_pUi(std::make_unique<Ui::AboutDlg>()) {
    m_pUi->setupUi(this);
}

CAboutDlg::~CAboutDlg() = default;
