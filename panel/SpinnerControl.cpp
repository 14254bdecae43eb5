#include "panel/SpinnerControl.h"

#include "dialogs/MainDlg.h"

namespace halvet {
namespace {

constexpr float kStep = 30.0f;

bool hasWindow(const MainDlg* dialog) {
    return dialog && dialog->m_hWnd && ::IsWindow(dialog->m_hWnd);
}

}  // namespace

void startSpinner(MainDlg* dialog) {
    if (!hasWindow(dialog)) return;
    CStaticImageCtrl& spinner = dialog->spinner;
    spinner.step = kStep;
    spinner.startTurning();
    spinner.ShowWindow(SW_SHOW);
}

void stopSpinner(MainDlg* dialog) {
    if (!hasWindow(dialog)) return;
    CStaticImageCtrl& spinner = dialog->spinner;
    spinner.step = kStep;
    spinner.stopTurning();
    spinner.ShowWindow(SW_HIDE);
}

}  // namespace halvet
