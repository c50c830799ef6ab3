// The folder image set: bitmaps of the shared library added in a fixed order and found again by number.
#include "UiTestSupport.h"

#include <commctrl.h>

#include "ui/ImageList.h"

namespace {

CRefCountPtr<ZxResourceModule> SharedModule() {
    return CRefCountPtr<ZxResourceModule>(
        new ZxResourceModule(ZxResourceModule::SharedNames(), SharedResourceFolder()));
}

} // namespace

TEST(ImageList, TheSetIsAddedInItsOrderAndFoundByNumber) {
    ZxImageList images(SharedModule());
    ASSERT_FALSE(images.CreateFailed());
    ASSERT_TRUE(images.LoadImageSet());
    const unsigned order[] = {114, 104, 105, 106, 107, 108, 109, 110, 111, 112, 116, 113, 115, 102, 101};
    for (int index = 0; index < 15; ++index) EXPECT_EQ(index, images.GetImageIndex(order[index])) << order[index];
    EXPECT_EQ(15, ImageList_GetImageCount(images.GetHandle()));
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images.GetHandle(), &cx, &cy);
    EXPECT_EQ(16, cx);
    EXPECT_EQ(16, cy);

    // Loading the set again adds nothing.
    EXPECT_TRUE(images.LoadImageSet());
    EXPECT_EQ(15, ImageList_GetImageCount(images.GetHandle()));
}

TEST(ImageList, ARepeatedNumberIsNotLoadedAgainAndAnAbsentOneFails) {
    ZxImageList images(SharedModule());
    EXPECT_TRUE(images.AddBitmap(108));
    EXPECT_TRUE(images.AddBitmap(101));
    EXPECT_TRUE(images.AddBitmap(108));
    EXPECT_EQ(2, ImageList_GetImageCount(images.GetHandle()));
    EXPECT_EQ(0, images.GetImageIndex(108));
    EXPECT_EQ(1, images.GetImageIndex(101));

    EXPECT_FALSE(images.AddBitmap(103)); // the library has no bitmap 103
    EXPECT_EQ(-1, images.GetImageIndex(103));
    EXPECT_EQ(-1, images.GetImageIndex(114)); // never added
    EXPECT_EQ(2, ImageList_GetImageCount(images.GetHandle()));
}

TEST(ImageList, GreenIsSeeThrough) {
    ZxImageList images(SharedModule());
    ASSERT_TRUE(images.AddBitmap(114));
    // Drawn onto white, no green is left: the key colour became the mask.
    const zx::unique_window_dc screen(nullptr);
    const zx::unique_hdc dc(CreateCompatibleDC(screen.get()));
    const zx::unique_hbitmap canvas(CreateCompatibleBitmap(screen.get(), 16, 16));
    const zx::select_object_scope selected(dc.get(), canvas.get());
    RECT all{0, 0, 16, 16};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ASSERT_TRUE(ImageList_Draw(images.GetHandle(), images.GetImageIndex(114), dc.get(), 0, 0, ILD_TRANSPARENT));
    int green = 0, white = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const COLORREF c = GetPixel(dc.get(), x, y);
            green += c == RGB(0, 255, 0);
            white += c == RGB(255, 255, 255);
        }
    EXPECT_EQ(0, green);
    EXPECT_GT(white, 8);
}

TEST(ImageList, WithoutAModuleNothingLoads) {
    ZxImageList images{CRefCountPtr<ZxResourceModule>()};
    EXPECT_FALSE(images.LoadImageSet());
    EXPECT_FALSE(images.AddBitmap(114));
    EXPECT_EQ(-1, images.GetImageIndex(114));
}
