// Reading the panel's dialog template and scaling it to the design's 7 x 12
// pixel base units. Templates are written byte by byte here, following the
// resource compiler's layout, and every expected pixel figure is worked out
// by hand from dialog units (x * 7 / 4, y * 12 / 8, rounded to nearest).
#include "panel/PanelLayout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace panelLayout;

constexpr uint32_t dsSetFont = 0x40;

class TemplateBytes {
public:
    void word(uint16_t v)
    {
        bytes.push_back(static_cast<uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    void dword(uint32_t v)
    {
        word(static_cast<uint16_t>(v & 0xFFFF));
        word(static_cast<uint16_t>(v >> 16));
    }
    void rect(int16_t x, int16_t y, int16_t cx, int16_t cy)
    {
        for (int16_t v : {x, y, cx, cy}) word(static_cast<uint16_t>(v));
    }
    void text(const std::u16string& s)
    {
        for (char16_t c : s) word(c);
        word(0);
    }
    void ordinal(uint16_t v)
    {
        word(0xFFFF);
        word(v);
    }
    void align()
    {
        while (bytes.size() % 4) bytes.push_back(0xCD);
    }
    std::vector<uint8_t> bytes;
};

// The panel's header and three items of the kinds it holds: a push button
// named by ordinal, a track bar named by class string with an odd-length
// title (so the next item needs padding) and creation data, and a static
// with IDC_STATIC.
std::vector<uint8_t> extendedPanel()
{
    TemplateBytes t;
    t.word(1);
    t.word(0xFFFF);
    t.dword(0);                           // help id
    t.dword(0);                           // extended style
    t.dword(0x50000000u | dsSetFont);     // child, visible
    t.word(3);
    t.rect(0, 0, 136, 488);
    t.word(0);                            // no menu
    t.word(0);                            // default class
    t.text(u"");                          // no title
    t.word(9);
    t.word(400);
    t.word(0x0180);                       // italic 0, character set 1
    t.text(u"ＭＳ Ｐゴシック");

    t.align();
    t.dword(0);
    t.dword(0);
    t.dword(0x50010000u);
    t.rect(1, 91, 47, 14);
    t.dword(1023);
    t.ordinal(0x0080);
    t.text(u"描画");
    t.word(0);

    t.align();
    t.dword(0);
    t.dword(0);
    t.dword(0x50010001u);
    t.rect(5, 154, 60, 21);
    t.dword(1003);
    t.text(u"msctls_trackbar32");
    t.text(u"abc");
    t.word(2);
    t.word(0xBEEF);

    t.align();
    t.dword(0);
    t.dword(0);
    t.dword(0x50000000u);
    t.rect(117, 250, 13, 100);
    t.dword(0xFFFFFFFFu);
    t.ordinal(0x0082);
    t.word(0);                            // empty title as "none"
    t.word(0);
    return t.bytes;
}

// The same shape in the classic layout, without a font, with a menu by name
// and a combo box.
std::vector<uint8_t> classicDialog()
{
    TemplateBytes t;
    t.dword(0x50000000u);
    t.dword(0);
    t.word(2);
    t.rect(10, 20, 100, 50);
    t.text(u"MENU");
    t.ordinal(0x8002);
    t.text(u"Title");

    t.align();
    t.dword(0x50210003u);
    t.dword(0);
    t.rect(6, 200, 63, 150);
    t.word(1008);
    t.ordinal(comboBoxClassOrdinal);
    t.word(0);
    t.word(0);

    t.align();
    t.dword(0x50000000u);
    t.dword(0);
    t.rect(3, 283, 28, 8);
    t.word(0xFFFF);
    t.ordinal(0x0082);
    t.text(u"Rejection");
    t.word(0);
    return t.bytes;
}

void expectRect(const DialogRect& r, int x, int y, int cx, int cy)
{
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.cx, cx);
    EXPECT_EQ(r.cy, cy);
}

TEST(DialogTemplate, ReadsExtendedItemsInTemplateOrder)
{
    const std::vector<uint8_t> bytes = extendedPanel();
    DialogTemplate dialog;
    ASSERT_TRUE(parseDialogTemplate(bytes.data(), bytes.size(), dialog));
    expectRect(dialog.rect, 0, 0, 136, 488);
    ASSERT_EQ(dialog.items.size(), 3u);

    expectRect(dialog.items[0].rect, 1, 91, 47, 14);
    EXPECT_EQ(dialog.items[0].id, 1023u);
    EXPECT_EQ(dialog.items[0].classOrdinal, 0x0080);

    expectRect(dialog.items[1].rect, 5, 154, 60, 21);
    EXPECT_EQ(dialog.items[1].id, 1003u);
    EXPECT_EQ(dialog.items[1].classOrdinal, 0);

    expectRect(dialog.items[2].rect, 117, 250, 13, 100);
    EXPECT_TRUE(sameControlId(dialog.items[2].id, 0xFFFF));
}

TEST(DialogTemplate, ReadsClassicItemsWithWordIds)
{
    const std::vector<uint8_t> bytes = classicDialog();
    DialogTemplate dialog;
    ASSERT_TRUE(parseDialogTemplate(bytes.data(), bytes.size(), dialog));
    expectRect(dialog.rect, 10, 20, 100, 50);
    ASSERT_EQ(dialog.items.size(), 2u);
    expectRect(dialog.items[0].rect, 6, 200, 63, 150);
    EXPECT_EQ(dialog.items[0].id, 1008u);
    EXPECT_EQ(dialog.items[0].classOrdinal, comboBoxClassOrdinal);
    expectRect(dialog.items[1].rect, 3, 283, 28, 8);
    EXPECT_TRUE(sameControlId(dialog.items[1].id, 0xFFFFFFFFu)) << "IDC_STATIC read back as -1";
}

TEST(DialogTemplate, RefusesEveryTruncatedTemplate)
{
    for (const std::vector<uint8_t>& whole : {extendedPanel(), classicDialog()}) {
        for (std::size_t size = 0; size < whole.size(); ++size) {
            DialogTemplate dialog;
            EXPECT_FALSE(parseDialogTemplate(whole.data(), size, dialog)) << size << " of " << whole.size();
        }
    }
    DialogTemplate dialog;
    EXPECT_FALSE(parseDialogTemplate(nullptr, 100, dialog));
}

TEST(DialogTemplate, RefusesAnItemCountBeyondTheItems)
{
    std::vector<uint8_t> bytes = extendedPanel();
    bytes[16] = 4;  // cDlgItems, after dlgVer, signature, help id, extended style, style
    DialogTemplate dialog;
    EXPECT_FALSE(parseDialogTemplate(bytes.data(), bytes.size(), dialog));
}

TEST(DialogScaling, RoundsToNearestWithHalvesAwayFromZero)
{
    struct Case {
        int value, numerator, denominator, expected;
    };
    const Case cases[] = {
        {117, 7, 4, 205},   // 204.75
        {13, 7, 4, 23},     // 22.75
        {55, 7, 4, 96},     // 96.25
        {2, 7, 4, 4},       // 3.5
        {-2, 7, 4, -4},     // -3.5
        {-13, 7, 4, -23},
        {154, 17, 8, 327},  // 327.25: the fallback font's 17-pixel rows
        {373, 12, 8, 560},  // 559.5
        {0, 7, 4, 0},
        {1, 1, 0, -1},      // no denominator, as MulDiv reports it
        {30000, 30000, 3, 300000000},  // product beyond 32 bits
    };
    for (const Case& c : cases)
        EXPECT_EQ(mulDivRounded(c.value, c.numerator, c.denominator), c.expected)
            << c.value << " * " << c.numerator << " / " << c.denominator;
}

TEST(DialogScaling, DesignUnitsAreSevenByTwelveOnly)
{
    EXPECT_TRUE(isDesignLayout(BaseUnits{7, 12}));
    EXPECT_FALSE(isDesignLayout(BaseUnits{7, 17}));
    EXPECT_FALSE(isDesignLayout(BaseUnits{8, 12}));
    EXPECT_FALSE(isDesignLayout(BaseUnits{9, 15}));
}

// The two sunken frames at the design units, and the views centred on them
// as they centre themselves: ColorSample lands exactly on its fixed place
// (206, 376), WinFunc one pixel left of its (128, 290) because 55 units make
// 96 pixels, not 98.
TEST(DialogScaling, FramesAtDesignUnitsHoldTheSmallViewsAtTheirPlaces)
{
    struct Case {
        const char* name;
        DialogRect frame;
        PixelRect framePixels;
        int viewWidth, viewHeight;
        int fixedX, fixedY;
    };
    const Case cases[] = {
        {"ColorSample", {117, 250, 13, 100}, {205, 375, 23, 150}, 20, 148, 206, 376},
        {"WinFunc", {72, 192, 55, 24}, {126, 288, 96, 36}, 93, 32, 128, 290},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PixelRect p = toPixels(c.frame, designBaseUnits);
        EXPECT_EQ(p.x, c.framePixels.x);
        EXPECT_EQ(p.y, c.framePixels.y);
        EXPECT_EQ(p.width, c.framePixels.width);
        EXPECT_EQ(p.height, c.framePixels.height);
        const int viewX = p.x + (p.width - c.viewWidth) / 2;
        const int viewY = p.y + (p.height - c.viewHeight) / 2;
        EXPECT_NEAR(viewX, c.fixedX, 1);
        EXPECT_EQ(viewY, c.fixedY);
    }
    const PixelRect panel = toPixels(DialogRect{0, 0, 136, 488}, designBaseUnits);
    EXPECT_EQ(panel.width, 238);
    EXPECT_EQ(panel.height, 732);
}

}  // namespace
