// The sunken frames the main window paints around the graph views.
#include "core/base/ViewFrames.h"

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
        expectRect(innerFrame(viewAreas[i]), cases[i].inner, cases[i].view);
        expectRect(outerFrame(viewAreas[i]), cases[i].outer, cases[i].view);
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
