// The places of the views and the sunken frames the main window paints
// around the graph views.
#include "core/base/ViewFrames.h"

#include "core/views/ViewGeometry.h"

#include <gtest/gtest.h>

namespace {

using namespace viewFrames;

void expectRect(const Rect& got, const Rect& want, const char* what)
{
    EXPECT_EQ(got.left, want.left) << what;
    EXPECT_EQ(got.top, want.top) << what;
    EXPECT_EQ(got.right, want.right) << what;
    EXPECT_EQ(got.bottom, want.bottom) << what;
}

TEST(ViewFrames, RectanglesSurroundEachView)
{
    struct Case {
        const char* view;
        Rect inner;
        Rect outer;
    };
    const Case cases[] = {
        {"WaveDraw", {239, 4, 791, 133}, {238, 3, 792, 134}},
        {"SPECTRAMDraw", {239, 138, 791, 267}, {238, 137, 792, 268}},
        {"SPECTDraw", {239, 272, 791, 553}, {238, 271, 792, 554}},
    };
    for (int i = 0; i < 3; ++i) {
        const Area area = windowPlaces[framedViews[i]].area;
        expectRect(innerFrame(area), cases[i].inner, cases[i].view);
        expectRect(outerFrame(area), cases[i].outer, cases[i].view);
    }
}

// A place whose size differs from the picture its view draws would stretch
// nothing but leave a strip unpainted or cut the picture off.
TEST(ViewFrames, PlacesAreAsLargeAsTheViewsPictures)
{
    struct Case {
        View view;
        int width;
        int height;
        int frameId;
    };
    const Case cases[] = {
        {waveform, columnCount, waveformHeight, 0},
        {spectrum, columnCount, spectrumHeight, 0},
        {voicePrint, columnCount, voicePrintHeight, 0},
        {windowShape, windowShapeWidth, windowShapeHeight, IDC_WINFUNC_FRAME},
        {colorSample, colorSampleWidth, colorSampleHeight, IDC_COLOR_SAMPLE_FRAME},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(windowPlaces[c.view].area.width, c.width) << c.view;
        EXPECT_EQ(windowPlaces[c.view].area.height, c.height) << c.view;
        EXPECT_EQ(windowPlaces[c.view].frameId, c.frameId) << c.view;
    }
}

// The panel's views sit inside the panel, left of the graph views' frames,
// and only the graph views are framed.
TEST(ViewFrames, FramesExtentCoversOnlyTheGraphViews)
{
    const Rect extent = framesExtent();
    EXPECT_EQ(extent.left, 238);
    EXPECT_EQ(extent.top, 3);
    EXPECT_EQ(extent.right, 793);
    EXPECT_EQ(extent.bottom, 555);
    for (View view : {windowShape, colorSample}) {
        const Area a = windowPlaces[view].area;
        EXPECT_LT(a.left + a.width, extent.left) << view;
    }
}

// Light from the top left: grey along the top and the left, white along the
// bottom and the right; the path starts and ends at the top-right corner.
TEST(ViewFrames, PathShadesTopLeftGreyAndBottomRightWhite)
{
    const Rect r{239, 4, 791, 133};
    FramePath path = framePath(r);
    EXPECT_EQ(path.startX, r.right);
    EXPECT_EQ(path.startY, r.top);

    int x = path.startX;
    int y = path.startY;
    int greyEdges = 0;
    int whiteEdges = 0;
    for (const Stroke& s : path.strokes) {
        const bool horizontal = s.y == y;
        const bool vertical = s.x == x;
        ASSERT_NE(horizontal, vertical) << "each stroke runs along one edge";
        const bool topOrLeft = horizontal ? y == r.top : x == r.left;
        EXPECT_EQ(s.light, !topOrLeft);
        (s.light ? whiteEdges : greyEdges)++;
        x = s.x;
        y = s.y;
    }
    EXPECT_EQ(greyEdges, 2);
    EXPECT_EQ(whiteEdges, 2);
    EXPECT_EQ(x, path.startX);
    EXPECT_EQ(y, path.startY);
}

}  // namespace
