#include "framework/CBitmap.h"

#include "framework/CDC.h"

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
    if (!dc) return FALSE;
    return Attach(::CreateCompatibleBitmap(dc->m_hDC, width, height));
}
