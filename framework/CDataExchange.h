#pragma once

// What a dialog's data exchange is told. The dialogs of this module exchange
// no control values, so it carries nothing; it exists so that
// DoDataExchange keeps its usual signature.
struct CDataExchange {};
