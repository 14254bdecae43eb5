#pragma once
#include <string>
#include <string_view>

#include "host/AppletMessage.h"

// The documents through which the panel changes what its web view shows and
// hands content and the font stylesheet to the page. Each is built for one
// view, named by its view GUID.
namespace halvet {

// "changeURL": a complete message with its fixed source, "HalvetPanel_UI" 1.0
// instance 1, to "HEX_UIX" 1.0 instance 1; data <xmlData><guid/><url/></xmlData>.
AppletMessage changeURLMessage(const std::wstring& viewGuid, const std::wstring& url);

// "processMessageForJSON" data: <ContentForHTML><guid/><message/></ContentForHTML>
// with the root element of content inside message; message stays empty when
// content is not XML.
std::wstring contentForHTMLDocument(const std::wstring& viewGuid, const std::wstring& content);

// The stylesheet resource ("CSS" 103) of this module, byte for byte; empty
// when it cannot be found. The bytes live as long as the module.
std::string_view fontStylesheet();

// Writes bytes to path exactly as they are (create or truncate). The
// stylesheet already has CRLF line ends: a text-mode write would double them.
bool writeFileBytes(const std::wstring& path, std::string_view bytes);

// "file:///" + path, every backslash turned into a forward slash.
std::wstring fileUrl(const std::wstring& path);

// The page's "INIT_CLEAN" message naming the stylesheet file's URL. The URL is
// written as escaped character data, so a folder name with '&' or '<' still
// gives a well-formed message.
std::wstring fontAnnouncement(const std::wstring& url);

}  // namespace halvet
