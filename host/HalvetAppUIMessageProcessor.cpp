#include "host/HalvetAppUIMessageProcessor.h"

#include <windows.h>

#include "dialogs/MainDlg.h"
#include "panel/ContainerCallback.h"
#include "panel/ContentLoading.h"
#include "panel/GuidText.h"
#include "panel/NetworkErrors.h"
#include "panel/PointerText.h"
#include "panel/SpinnerControl.h"
#include "panel/ViewMessages.h"
#include "util/FileUtils.h"
#include "xml/XMLParser.h"

namespace {
constexpr wchar_t kContainerApplet[] = L"HEX_UIX";
constexpr wchar_t kPanelLogicApplet[] = L"HalvetPanel_BL";
constexpr wchar_t kAppletVersion[] = L"1.0";
constexpr wchar_t kSuccess[] = L"Success";
constexpr wchar_t kFailure[] = L"Failure";
constexpr wchar_t kTrue[] = L"true";
constexpr wchar_t kBlankPage[] = L"about:blank";

bool hasLiveWindow(const MainDlg* dialog) {
    return dialog && dialog->m_hWnd && ::IsWindow(dialog->m_hWnd);
}
}  // namespace

// The rule of this class: the host runs its own code inside every send, and
// inside the procedures of its windows, which most window calls reach
// synchronously (creating or destroying the dialog, the framework messages the
// dialog sends its parent, ShowWindow, EnableWindow, SetFocus,
// SetForegroundWindow, BringWindowToTop, SetWindowPos, MoveWindow). There it
// may finalize the panel, or make a new view. So after any such call nothing
// is used that the call may have replaced: the view is known by its GUID (it
// has one before its window exists), isCurrentView is asked again, and only
// what mainDialog holds then is used. A dialog closed while one of its own
// messages is on the stack is freed when the outermost returns
// (CWnd::DeleteWhenIdle), so the framework's code below that message finds it
// intact.

HalvetAppUIMessageProcessor* HalvetAppUIMessageProcessor::instance() {
    // Made on the first call; its destruction runs when the module unloads,
    // before the module-wide tables it was created after.
    static HalvetAppUIMessageProcessor processor;
    return &processor;
}

const std::vector<HalvetAppUIMessageProcessor::HandlerRow>&
HalvetAppUIMessageProcessor::handlerTable() {
    // Message names are exact and case-sensitive. Each handler is a member of
    // this class and runs on the panel processor.
    using P = HalvetAppUIMessageProcessor;
    static const std::vector<HandlerRow> table = {
        {L"CreateView", &P::createView},
        {L"ShowView", &P::showView},
        {L"HideView", &P::hideView},
        {L"HideSpinner", &P::hideSpinner},
        {L"ContentForHTML", &P::contentForHTML},
        {L"ReloadHTML", &P::reloadHTML},
        {L"LoadBlank", &P::loadBlank},
        {L"ProcessFonts", &P::processFonts},
        {L"proxyCredentialsUpdated", &P::proxyCredentialsUpdated},
    };
    return table;
}

HalvetAppUIMessageProcessor::HalvetAppUIMessageProcessor() = default;

HalvetAppUIMessageProcessor::~HalvetAppUIMessageProcessor() {
    // Reached at module unload. A view still open (the host never called
    // finalize) loses its window here, so that no window is left with a
    // procedure in unloaded code; the object itself is let go rather than
    // deleted, because its release could stop the image library under the
    // loader lock.
    if (MainDlg* dialog = mainDialog.release()) {
        if (hasLiveWindow(dialog)) dialog->DestroyWindow();
    }
    parentWindow.Detach();
}

int HalvetAppUIMessageProcessor::initialize(const wchar_t* initXml, const HostContext* host) {
    if (ProcessMessageManager::initialize(initXml, host) == 0) return 0;
    for (const HandlerRow& row : handlerTable()) addPayloadHandler(row.name, row.handler);
    return 1;
}

int HalvetAppUIMessageProcessor::finalize(const wchar_t*) {
    ++finalizeCount_;
    // Close steps, in this order: the panel view, then the font stylesheet file.
    closeMainView();
    try {
        deleteFontFile();
    } catch (...) {
        // No memory for the file's path: the view is closed all the same, and
        // the path is kept for the next finalize or font file.
    }
    return 1;
}

std::wstring HalvetAppUIMessageProcessor::sendToUIX(const std::wstring& name,
                                                    const std::wstring& data) {
    // Every request to the container is a document: one whose data could not
    // be written (no memory for it) is not sent, and counts as refused.
    if (data.empty()) return kFailure;
    return sendToApplet(kContainerApplet, kAppletVersion, name, data);
}

std::wstring HalvetAppUIMessageProcessor::sendToPanelBL(const std::wstring& name,
                                                        const std::wstring& data) {
    return sendToApplet(kPanelLogicApplet, kAppletVersion, name, data);
}

std::wstring HalvetAppUIMessageProcessor::sendToPanelBLFlagged(const std::wstring& name,
                                                               const std::wstring& data) {
    return sendToAppletFlagged(kPanelLogicApplet, kAppletVersion, name, data);
}

// The view's life --------------------------------------------------------------

HandlerReply HalvetAppUIMessageProcessor::createView(const std::wstring& data) {
    XMLParser message;
    std::wstring handleText;
    if (!message.initWithXMLString(data) ||
        !message.stringValueForXQuery(L"//parentViewPtr", handleText))
        return HandlerReply::fixed(kFailure);
    const HWND parent = reinterpret_cast<HWND>(textToPointer(handleText));
    bool made = false;
    try {
        made = createMainView(parent);
    } catch (...) {
        // Memory ran out part-way: the view is not left half-made.
        closeMainView();
    }
    if (!made) return HandlerReply::fixed(kFailure);
    return HandlerReply::computed(pointerToText(reinterpret_cast<uintptr_t>(parentWindow.m_hWnd)));
}

bool HalvetAppUIMessageProcessor::createMainView(HWND parentHandle) {
    if (!closeEarlierViews()) return false;
    if (parentHandle && parentWindow.m_hWnd != parentHandle) {
        parentWindow.Detach();
        parentWindow.Attach(parentHandle);
    }
    mainDialog = std::make_unique<MainDlg>(&parentWindow);
    // Named before its window exists: making the window already reaches the
    // host (the dialog announces itself to its parent), which may close it.
    if (!newGuidString(mainDialog->viewGuid)) {
        mainDialog.reset();
        return false;
    }
    const std::wstring guid = mainDialog->viewGuid;
    mainDialog->Create(MainDlg::kTemplateId, &parentWindow);
    if (!isCurrentView(guid)) return false;
    // Without its window (no memory, no template, a refusal of the window
    // manager) there is no view to announce.
    if (!hasLiveWindow(mainDialog.get())) {
        closeMainView();
        return false;
    }

    // The host may call back into the panel from inside each send (even
    // finalize, or finalize and a new "CreateView"): after it, only what
    // mainDialog holds then is used, and the view is known by its GUID, not by
    // an address that a new dialog may have taken over.
    mainDialog->closeRequest = composeToApplet(kContainerApplet, kAppletVersion, L"signalUIClose",
                                               halvet::signalUICloseData(guid));
    mainDialog->announced = true;
    if (!sendAttachParentWindow(guid, mainDialog->m_hWnd)) return false;
    if (!isCurrentView(guid)) return false;
    pagePath = halvet::panelPagePath();
    const std::wstring request = halvet::processURLData(guid, pagePath);
    // A request that could not be written leaves no view behind.
    if (request.empty()) {
        closeMainView();
        return false;
    }
    // A view closed while its page was asked for was not made after all.
    return sendProcessURL(guid, request) && isCurrentView(guid);
}

bool HalvetAppUIMessageProcessor::closeEarlierViews() {
    // One view at a time: an earlier one is closed (and the container told)
    // rather than left behind without an owner. The host may answer that
    // close's "signalUIClose" with calls of its own, so look again after it:
    // - a finalize means the panel is being shut down: nothing is built and
    //   "CreateView" fails;
    // - a view that a nested "CreateView" built is closed in turn, with its
    //   own "signalUIClose", and this call builds its view in its place. The
    //   outer call replies last, so the view the host is left with is the one
    //   its last reply describes.
    const uint32_t finalizesBefore = finalizeCount_;
    while (mainDialog) {
        closeMainView();
        if (finalizeCount_ != finalizesBefore) return false;
    }
    return true;
}

bool HalvetAppUIMessageProcessor::isCurrentView(const std::wstring& guid) const {
    return mainDialog && mainDialog->viewGuid == guid;
}

bool HalvetAppUIMessageProcessor::sendAttachParentWindow(const std::wstring& guid, HWND dialog) {
    const auto callback = reinterpret_cast<uintptr_t>(&containerCallback);
    return sendToUIX(L"attachParentWindow", halvet::attachParentWindowData(guid, dialog, callback)) !=
           kFailure;
}

bool HalvetAppUIMessageProcessor::sendProcessURL(const std::wstring& guid, const std::wstring& request) {
    // Started before the request: the container may finish the page, and the
    // host stop the spinner, before the request returns.
    halvet::startSpinner(mainDialog.get());
    if (!isCurrentView(guid)) return false;
    return sendToUIX(L"processURL", request) != kFailure;
}

HandlerReply HalvetAppUIMessageProcessor::showView(const std::wstring&) {
    if (!hasLiveWindow(mainDialog.get())) return HandlerReply::fixed(kSuccess);
    // Showing focuses the web view, whose window is the host's.
    const std::wstring guid = mainDialog->viewGuid;
    mainDialog->EnableWindow(TRUE);
    if (!isCurrentView(guid)) return HandlerReply::fixed(kSuccess);
    mainDialog->ShowWindow(SW_SHOW);
    if (!isCurrentView(guid)) return HandlerReply::fixed(kSuccess);
    sendToUIX(L"RefreshView", halvet::refreshViewData(guid));
    return HandlerReply::fixed(kSuccess);
}

HandlerReply HalvetAppUIMessageProcessor::hideView(const std::wstring&) {
    if (!hasLiveWindow(mainDialog.get())) return HandlerReply::fixed(kSuccess);
    // Disabling takes the focus from the web view, whose window is the host's.
    const std::wstring guid = mainDialog->viewGuid;
    mainDialog->EnableWindow(FALSE);
    if (isCurrentView(guid)) mainDialog->ShowWindow(SW_HIDE);
    return HandlerReply::fixed(kSuccess);
}

HandlerReply HalvetAppUIMessageProcessor::hideSpinner(const std::wstring&) {
    halvet::stopSpinner(mainDialog.get());
    return HandlerReply::fixed(kSuccess);
}

void HalvetAppUIMessageProcessor::closeMainView() {
    // Taken out of the state first: a close reached again from inside the
    // send below finds nothing left to close.
    std::unique_ptr<MainDlg> dialog = std::move(mainDialog);
    if (!dialog) return;
    if (hasLiveWindow(dialog.get())) {
        // Only a view the container was told of is closed there: one closed
        // while its window was being made was never announced.
        if (dialog->announced) {
            try {
                sendMessage(dialog->closeRequest);
            } catch (...) {
                // Only the copy of the container's answer can fail here: the
                // close itself has been sent, and the window goes all the same.
            }
        }
        if (hasLiveWindow(dialog.get())) dialog->DestroyWindow();
        dialog->Detach();
        // A view created from inside the send or the destruction keeps its parent.
        if (!mainDialog) parentWindow.Detach();
    }
    // The close may come from inside one of the dialog's own messages (a host
    // window procedure that the dialog reached): it is freed when that ends.
    CWnd::DeleteWhenIdle(dialog.release());
}

std::wstring HalvetAppUIMessageProcessor::viewGuid() const {
    return mainDialog ? mainDialog->viewGuid : std::wstring();
}

// Content loading --------------------------------------------------------------

std::wstring HalvetAppUIMessageProcessor::sendChangeURL(const std::wstring& url) {
    AppletMessage message = halvet::changeURLMessage(viewGuid(), url);
    if (message.messageData.empty()) return kFailure;
    return sendMessage(message);
}

bool HalvetAppUIMessageProcessor::sendProcessMessageForJSON(const std::wstring& data) {
    return sendToUIX(L"processMessageForJSON", data) != kFailure;
}

HandlerReply HalvetAppUIMessageProcessor::contentForHTML(const std::wstring& data) {
    if (!hasView()) return HandlerReply::fixed(kFailure);
    sendProcessMessageForJSON(halvet::contentForHTMLDocument(viewGuid(), data));
    return HandlerReply::fixed(kSuccess);
}

HandlerReply HalvetAppUIMessageProcessor::reloadHTML(const std::wstring&) {
    if (!hasView()) return HandlerReply::fixed(kFailure);
    const std::wstring guid = viewGuid();
    halvet::startSpinner(mainDialog.get());
    if (!isCurrentView(guid)) return HandlerReply::fixed(kFailure);
    halvet::onReload(*this);
    return HandlerReply::computed(sendChangeURL(pagePath));
}

HandlerReply HalvetAppUIMessageProcessor::loadBlank(const std::wstring&) {
    if (!hasView()) return HandlerReply::fixed(kFailure);
    return HandlerReply::computed(sendChangeURL(kBlankPage));
}

HandlerReply HalvetAppUIMessageProcessor::processFonts(const std::wstring&) {
    if (!hasView()) return HandlerReply::fixed(kFailure);
    std::wstring url;
    if (!writeFontFile(url)) return HandlerReply::fixed(kSuccess);
    return contentForHTML(halvet::fontAnnouncement(url));
}

HandlerReply HalvetAppUIMessageProcessor::proxyCredentialsUpdated(const std::wstring&) {
    halvet::onProxyCredentialsUpdated(*this);
    return HandlerReply::fixed(kTrue);
}

void HalvetAppUIMessageProcessor::deleteFontFile() {
    if (fontFilePath.empty()) return;
    const std::wstring file = halvet::extendedLengthPath(fontFilePath);
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    halvet::deleteFile(fontFilePath);
}

bool HalvetAppUIMessageProcessor::writeFontFile(std::wstring& url) {
    deleteFontFile();
    std::wstring path;
    if (!halvet::getFolderLocation(halvet::kTemporary, path)) return false;
    std::wstring name;
    if (!newGuidString(name)) return false;
    // A temporary folder may be long enough that the file's path passes
    // MAX_PATH: it is joined, written and later deleted without that limit.
    if (!halvet::appendFileName(path, name)) return false;
    fontFilePath = path;
    // A file that cannot be written is not reported: the page is still told,
    // and finds no fonts.
    halvet::writeFileBytes(halvet::extendedLengthPath(fontFilePath), halvet::fontStylesheet());
    url = halvet::fileUrl(fontFilePath);
    return true;
}
