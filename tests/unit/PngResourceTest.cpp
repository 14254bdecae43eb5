#include <windows.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <vector>

#include "drawing/PngResource.h"
#include "drawing/SharedGdiplusSession.h"
#include "util/ModuleHandle.h"
#include "resources/resource.h"

namespace {

std::vector<unsigned char> resourceBytes(int id) {
    HMODULE module = halvet::thisModule();
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!info) return {};
    auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, info)));
    return std::vector<unsigned char>(data, data + SizeofResource(module, info));
}

}  // namespace

TEST(PngResourceTest, LoadsBothSpinnerPicturesAtTheirSizesWithAlpha) {
    auto gdiplus = halvet::sharedGdiplusSession();
    ASSERT_TRUE(gdiplus && gdiplus->ok());
    auto normal = halvet::loadPngResource(halvet::thisModule(), IDB_SPINNER_NORMAL);
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->GetWidth(), 37u);
    EXPECT_EQ(normal->GetHeight(), 37u);
    EXPECT_TRUE(Gdiplus::IsAlphaPixelFormat(normal->GetPixelFormat()));
    auto high = halvet::loadPngResource(halvet::thisModule(), IDB_SPINNER_HIGHDPI);
    ASSERT_TRUE(high);
    EXPECT_EQ(high->GetWidth(), 74u);
    EXPECT_EQ(high->GetHeight(), 74u);
}

// A picture outlives the resource bytes' stream and the decoding call.
TEST(PngResourceTest, PictureIsReadableAfterLoading) {
    auto gdiplus = halvet::sharedGdiplusSession();
    ASSERT_TRUE(gdiplus && gdiplus->ok());
    std::vector<unsigned char> bytes = resourceBytes(IDB_SPINNER_NORMAL);
    ASSERT_FALSE(bytes.empty());
    std::unique_ptr<Gdiplus::Image> image = halvet::decodePng(bytes.data(), bytes.size());
    std::fill(bytes.begin(), bytes.end(), 0);
    ASSERT_TRUE(image);
    auto* bitmap = static_cast<Gdiplus::Bitmap*>(image.get());
    Gdiplus::Color top;
    ASSERT_EQ(bitmap->GetPixel(18, 5, &top), Gdiplus::Ok);
    EXPECT_GT(top.GetA(), 200) << "the leading dash at 12 o'clock";
    Gdiplus::Color corner;
    ASSERT_EQ(bitmap->GetPixel(0, 0, &corner), Gdiplus::Ok);
    EXPECT_EQ(corner.GetA(), 0);
}

TEST(PngResourceTest, MissingResourcesAndUndecodableBytesGiveNone) {
    auto gdiplus = halvet::sharedGdiplusSession();
    ASSERT_TRUE(gdiplus && gdiplus->ok());
    HMODULE module = halvet::thisModule();
    EXPECT_FALSE(halvet::loadPngResource(module, 4242));
    // The stylesheet exists, but under type "CSS", not "PNG".
    EXPECT_FALSE(halvet::loadPngResource(module, IDR_FONT_STYLESHEET));

    EXPECT_FALSE(halvet::decodePng(nullptr, 10));
    const char garbage[] = "this is not a picture at all, only text";
    EXPECT_FALSE(halvet::decodePng(garbage, sizeof garbage));
    std::vector<unsigned char> bytes = resourceBytes(IDB_SPINNER_NORMAL);
    ASSERT_GT(bytes.size(), 40u);
    EXPECT_FALSE(halvet::decodePng(bytes.data(), 0));
    EXPECT_FALSE(halvet::decodePng(bytes.data(), 20)) << "signature and half a header";
}

TEST(PngResourceTest, SessionIsSharedWhileInUseAndStartsAgainAfterwards) {
    auto first = halvet::sharedGdiplusSession();
    auto second = halvet::sharedGdiplusSession();
    ASSERT_TRUE(first && first->ok());
    EXPECT_EQ(first.get(), second.get());
    first.reset();
    second.reset();
    auto again = halvet::sharedGdiplusSession();
    ASSERT_TRUE(again && again->ok());
    EXPECT_TRUE(halvet::loadPngResource(halvet::thisModule(), IDB_SPINNER_NORMAL));
}

// Pictures after the first come from kept pixels: the same pixels as a fresh
// decoding, in the same format, and each picture is a copy of its own.
TEST(PngResourceTest, LaterLoadsGiveTheDecodedPixelsInPicturesOfTheirOwn) {
    auto gdiplus = halvet::sharedGdiplusSession();
    ASSERT_TRUE(gdiplus && gdiplus->ok());
    for (int id : {IDB_SPINNER_NORMAL, IDB_SPINNER_HIGHDPI}) {
        std::vector<unsigned char> bytes = resourceBytes(id);
        auto fresh = halvet::decodePng(bytes.data(), bytes.size());
        ASSERT_TRUE(fresh);
        auto first = halvet::loadPngResource(halvet::thisModule(), id);
        auto second = halvet::loadPngResource(halvet::thisModule(), id);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(second->GetPixelFormat(), fresh->GetPixelFormat());
        ASSERT_EQ(second->GetWidth(), fresh->GetWidth());
        ASSERT_EQ(second->GetHeight(), fresh->GetHeight());
        auto* expected = static_cast<Gdiplus::Bitmap*>(fresh.get());
        auto* loaded = static_cast<Gdiplus::Bitmap*>(second.get());
        int differing = 0, opaque = 0;
        for (INT y = 0; y < INT(fresh->GetHeight()); ++y)
            for (INT x = 0; x < INT(fresh->GetWidth()); ++x) {
                Gdiplus::Color a, b;
                expected->GetPixel(x, y, &a);
                loaded->GetPixel(x, y, &b);
                if (a.GetValue() != b.GetValue()) ++differing;
                if (b.GetA() == 255) ++opaque;
            }
        EXPECT_EQ(differing, 0) << id;
        EXPECT_GT(opaque, 10) << id;

        // Painting on one picture leaves the next one as decoded.
        auto* scribbled = static_cast<Gdiplus::Bitmap*>(first.get());
        ASSERT_EQ(scribbled->SetPixel(0, 0, Gdiplus::Color(255, 1, 2, 3)), Gdiplus::Ok);
        auto third = halvet::loadPngResource(halvet::thisModule(), id);
        Gdiplus::Color corner;
        static_cast<Gdiplus::Bitmap*>(third.get())->GetPixel(0, 0, &corner);
        EXPECT_EQ(corner.GetA(), 0) << id;
    }
}
