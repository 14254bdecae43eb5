#pragma once

class MainDlg;

// The controller's hold on the main dialog's loading spinner. Both do nothing
// without a dialog or without its window.
namespace halvet {

// Step 30 degrees, timer 1022 at 100 ms (restarted if running), shown.
void startSpinner(MainDlg* dialog);
// Step 30 degrees, timer killed and angle back to 0, hidden.
void stopSpinner(MainDlg* dialog);

}  // namespace halvet
