// Reading the panel's dialog template and scaling it to the design's 7 x 12
// pixel base units. Templates are written byte by byte here, following the
// resource compiler's DIALOGEX layout, and every expected pixel figure is
// worked out by hand from dialog units (x * 7 / 4, y * 12 / 8, rounded).
#include "core/panel/PanelLayout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace panelLayout;

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
    void rect(DialogRect r)
    {
        for (int v : {r.x, r.y, r.cx, r.cy}) word(static_cast<uint16_t>(v));
    }
    void text(const std::u16string& s)
    {
        for (char16_t c : s) word(c);
        word(0);
    }
    // Class or title: an ordinal when `name` is empty and `ordinal` is not 0.
    void nameOrOrdinal(const std::u16string& name, uint16_t ordinal)
    {
        if (name.empty() && ordinal) {
            word(0xFFFF);
            word(ordinal);
        } else {
            text(name);
        }
    }
    void item(DialogRect r, uint32_t id, const std::u16string& className, uint16_t classOrdinal,
              const std::u16string& title, std::vector<uint16_t> extra = {})
    {
        while (bytes.size() % 4) bytes.push_back(0xCD);
        dword(0);  // help id
        dword(0);  // extended style
        dword(0x50000000u);
        rect(r);
        dword(id);
        nameOrOrdinal(className, classOrdinal);
        text(title);
        word(static_cast<uint16_t>(extra.size() * 2));
        for (uint16_t v : extra) word(v);
    }
    std::vector<uint8_t> bytes;
};

// The panel's header and three items of the kinds it holds: a push button
// named by ordinal, a track bar named by class string with an odd-length
// title (so the next item needs padding) and creation data, and a static
// with IDC_STATIC.
std::vector<uint8_t> panelTemplate()
{
    TemplateBytes t;
    t.word(1);
    t.word(0xFFFF);
    t.dword(0);                  // help id
    t.dword(0);                  // extended style
    t.dword(0x50000000u | 0x40); // child, visible, DS_SETFONT
    t.word(3);
    t.rect({0, 0, 136, 488});
    t.word(0);                   // no menu
    t.word(0);                   // default class
    t.text(u"");                 // no title
    t.word(9);
    t.word(400);
    t.word(0x0180);              // italic 0, character set 1
    t.text(u"ＭＳ Ｐゴシック");
    t.item({1, 91, 47, 14}, 1023, u"", 0x0080, u"描画");
    t.item({6, 200, 63, 150}, 1008, u"msctls_trackbar32", 0, u"abc", {0xBEEF});
    t.item({117, 250, 13, 100}, 0xFFFFFFFFu, u"", comboBoxClassOrdinal, u"");
    return t.bytes;
}

void expectItem(const TemplateItem& item, DialogRect r, uint32_t id, int classOrdinal)
{
    EXPECT_EQ(item.rect.x, r.x);
    EXPECT_EQ(item.rect.y, r.y);
    EXPECT_EQ(item.rect.cx, r.cx);
    EXPECT_EQ(item.rect.cy, r.cy);
    EXPECT_EQ(item.id, id);
    EXPECT_EQ(item.classOrdinal, classOrdinal);
}

TEST(DialogTemplate, ReadsItemsInTemplateOrder)
{
    const std::vector<uint8_t> bytes = panelTemplate();
    DialogTemplate dialog;
    ASSERT_TRUE(parseDialogTemplate(bytes.data(), bytes.size(), dialog));
    EXPECT_EQ(dialog.rect.cx, 136);
    EXPECT_EQ(dialog.rect.cy, 488);
    ASSERT_EQ(dialog.items.size(), 3u);
    expectItem(dialog.items[0], {1, 91, 47, 14}, 1023, 0x0080);
    expectItem(dialog.items[1], {6, 200, 63, 150}, 1008, 0);
    expectItem(dialog.items[2], {117, 250, 13, 100}, 0xFFFFFFFFu, comboBoxClassOrdinal);
    EXPECT_TRUE(sameControlId(dialog.items[2].id, 0xFFFF)) << "IDC_STATIC read back as a word";
    EXPECT_FALSE(sameControlId(1023, 1024));
}

TEST(DialogTemplate, RefusesTruncatedOrMiscountedTemplates)
{
    const std::vector<uint8_t> whole = panelTemplate();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        DialogTemplate dialog;
        EXPECT_FALSE(parseDialogTemplate(whole.data(), size, dialog)) << size << " of " << whole.size();
    }
    DialogTemplate dialog;
    EXPECT_FALSE(parseDialogTemplate(nullptr, 100, dialog));

    std::vector<uint8_t> miscounted = whole;
    miscounted[16] = 4;  // the item count, after version, signature, help id and both styles
    EXPECT_FALSE(parseDialogTemplate(miscounted.data(), miscounted.size(), dialog));

    std::vector<uint8_t> classic = whole;
    classic[2] = 0;  // no extended signature: not a layout this reader takes
    EXPECT_FALSE(parseDialogTemplate(classic.data(), classic.size(), dialog));
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

    EXPECT_TRUE(isDesignLayout(BaseUnits{7, 12}));
    for (BaseUnits other : {BaseUnits{7, 17}, BaseUnits{8, 12}, BaseUnits{9, 15}})
        EXPECT_FALSE(isDesignLayout(other)) << other.x << " x " << other.y;
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
        EXPECT_NEAR(p.x + (p.width - c.viewWidth) / 2, c.fixedX, 1);
        EXPECT_EQ(p.y + (p.height - c.viewHeight) / 2, c.fixedY);
    }
    const PixelRect panel = toPixels(DialogRect{0, 0, 136, 488}, designBaseUnits);
    EXPECT_EQ(panel.width, 238);
    EXPECT_EQ(panel.height, 732);
}

}  // namespace
