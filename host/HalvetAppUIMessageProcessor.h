#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/CWnd.h"
#include "host/ProcessMessageManager.h"

class MainDlg;

// The panel's processor and the owner of the panel: the one processor of the
// module, reached everywhere through instance(). It receives every message the
// host delivers (the processor registry stays empty).
//
// The host runs its own code inside every send and inside its window
// procedures, which most window calls on the dialog reach: after any such call
// nothing is used that the host may have closed or replaced (see the note at
// the top of the .cpp file).
class HalvetAppUIMessageProcessor : public ProcessMessageManager {
public:
    using Handler = HandlerReply (HalvetAppUIMessageProcessor::*)(const std::wstring& data);

    // One row of the panel's handler table.
    struct HandlerRow {
        const wchar_t* name;
        Handler handler;
    };

    // The single instance, made on first use and destroyed when the module
    // unloads. Never null.
    static HalvetAppUIMessageProcessor* instance();

    // The panel's handlers, in the order initialize adds them.
    static const std::vector<HandlerRow>& handlerTable();

    ~HalvetAppUIMessageProcessor() override;

    // Base initialize, then the panel's handlers (each under its name, with a
    // null boundObject: a repeated initialize replaces them). Returns 1.
    int initialize(const wchar_t* initXml, const HostContext* host) override;
    // Closes the panel; the base operation is not called, so the processor
    // registry stays as it is. Returns 1.
    int finalize(const wchar_t* finalText) override;

    // The panel's three addresses; each returns the receiver's reply.
    // "HEX_UIX" 1.0, the host's HTML container.
    std::wstring sendToUIX(const std::wstring& name, const std::wstring& data);
    // "HalvetPanel_BL" 1.0, the panel's business logic.
    std::wstring sendToPanelBL(const std::wstring& name, const std::wstring& data);
    // "HalvetPanel_BL" 1.0 with flagA 1.
    std::wstring sendToPanelBLFlagged(const std::wstring& name, const std::wstring& data);

    // Handlers of the host's messages.
    // "CreateView": the main dialog inside the host window named by
    // //parentViewPtr, the web view attached and the panel page loaded.
    // Replies the parent handle's text, or "Failure".
    HandlerReply createView(const std::wstring& data);
    // "ShowView": enables and shows the dialog, asks for "RefreshView". "Success".
    HandlerReply showView(const std::wstring& data);
    // "HideView": disables and hides the dialog. "Success".
    HandlerReply hideView(const std::wstring& data);
    // "HideSpinner": stops and hides the loading animation. "Success".
    HandlerReply hideSpinner(const std::wstring& data);
    // "ContentForHTML": the data, wrapped with the view GUID, to the page.
    HandlerReply contentForHTML(const std::wstring& data);
    // "ReloadHTML": the panel page again, with the spinner turning and network
    // errors reported afresh; replies the container's answer.
    HandlerReply reloadHTML(const std::wstring& data);
    // "LoadBlank": an empty page; replies the container's answer.
    HandlerReply loadBlank(const std::wstring& data);
    // "ProcessFonts": a fresh stylesheet file, announced to the page.
    HandlerReply processFonts(const std::wstring& data);
    // "proxyCredentialsUpdated": a pending proxy error is retried; replies "true".
    HandlerReply proxyCredentialsUpdated(const std::wstring& data);
    // The four content handlers above reply "Failure" and send nothing
    // without a view.

    // The view's life.
    bool createMainView(HWND parentHandle);
    bool sendAttachParentWindow(const std::wstring& guid, HWND dialog);
    // Starts the spinner and asks for the page; false on the container's "Failure".
    bool sendProcessURL(const std::wstring& guid, const std::wstring& request);
    // "signalUIClose", then the dialog destroyed and deleted. Nothing without a view.
    void closeMainView();
    // Closes the view "CreateView" replaces, and any view the host builds from
    // inside that close. False when the host finalized the panel meanwhile.
    bool closeEarlierViews();
    // True while the main dialog is the view named `guid`.
    bool isCurrentView(const std::wstring& guid) const;
    // True while a main dialog object exists.
    bool hasView() const { return mainDialog != nullptr; }
    // The current view's GUID; empty without a view.
    std::wstring viewGuid() const;

    // "changeURL" as a complete message with its fixed source; the reply.
    std::wstring sendChangeURL(const std::wstring& url);
    // False only when the container answers "Failure".
    bool sendProcessMessageForJSON(const std::wstring& data);

    // Removes the font stylesheet file at fontFilePath, if one is there.
    void deleteFontFile();
    // Replaces the font stylesheet file with a fresh one, named by a new GUID in
    // the user's temporary folder, and gives its URL. False (nothing written,
    // fontFilePath as it was) when the folder cannot be had.
    bool writeFontFile(std::wstring& url);

    // Controller state.
    // The host's window that holds the panel; wrapped, never owned.
    CWnd parentWindow;
    // The panel's view; null before "CreateView" and after the close.
    std::unique_ptr<MainDlg> mainDialog;
    // The newest font stylesheet file; kept after the file is deleted.
    std::wstring fontFilePath;
    // 0 no network error pending, 1 a proxy error waits for new credentials,
    // 2 a network error was reported (see panel/NetworkErrors.h).
    int32_t networkErrorState = 0;
    // The panel page, set by "CreateView", read by "ReloadHTML".
    std::wstring pagePath;

protected:
    // Protected so that tests can derive; everything else uses instance().
    HalvetAppUIMessageProcessor();

private:
    // Counts finalize calls, so that a call that sends can tell whether the
    // host finalized the panel from inside the send.
    uint32_t finalizeCount_ = 0;
};
