#include "core/panel/PanelLayout.h"

#include <cstdint>
#include <cstdlib>

namespace panelLayout {

namespace {

constexpr uint32_t setFontStyle = 0x40;  // DS_SETFONT
constexpr uint16_t extendedSignature = 0xFFFF;

// Little-endian reader that refuses to run past the end instead of reading
// whatever lies behind the resource.
class Reader {
public:
    Reader(const uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    bool ok() const { return ok_; }
    std::size_t offset() const { return offset_; }

    uint16_t word()
    {
        if (!has(2)) return 0;
        uint16_t v = static_cast<uint16_t>(bytes_[offset_] | bytes_[offset_ + 1] << 8);
        offset_ += 2;
        return v;
    }
    uint32_t dword()
    {
        uint32_t low = word();
        uint32_t high = word();
        return low | high << 16;
    }
    int16_t shortInt() { return static_cast<int16_t>(word()); }
    void skip(std::size_t n)
    {
        if (has(n)) offset_ += n;
    }
    // A zero-terminated UTF-16 string, skipped.
    void skipString()
    {
        while (ok_ && word() != 0) {
        }
    }
    // The "string or ordinal" field: 0 none, 0xFFFF then an ordinal, else a
    // string. Returns the ordinal, or 0.
    int stringOrOrdinal()
    {
        uint16_t first = word();
        if (first == 0xFFFF) return word();
        if (first != 0) skipString();
        return 0;
    }
    // Items start on a DWORD boundary of the template.
    void alignToDword() { skip((4 - offset_ % 4) % 4); }

private:
    bool has(std::size_t n)
    {
        if (ok_ && size_ - offset_ >= n) return true;
        ok_ = false;
        return false;
    }

    const uint8_t* bytes_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool ok_ = true;
};

DialogRect readRect(Reader& in)
{
    DialogRect r{};
    r.x = in.shortInt();
    r.y = in.shortInt();
    r.cx = in.shortInt();
    r.cy = in.shortInt();
    return r;
}

}  // namespace

bool parseDialogTemplate(const uint8_t* bytes, std::size_t size, DialogTemplate& result)
{
    if (!bytes) return false;
    Reader in(bytes, size);
    if (in.word() != 1 || in.word() != extendedSignature) return false;
    in.dword();  // help id
    in.dword();  // extended style
    const uint32_t style = in.dword();
    const uint16_t count = in.word();
    result.rect = readRect(in);
    in.stringOrOrdinal();  // menu
    in.stringOrOrdinal();  // class
    in.skipString();       // title
    if (style & setFontStyle) {
        in.word();   // point size
        in.word();   // weight
        in.skip(2);  // italic, character set
        in.skipString();  // face
    }
    if (!in.ok()) return false;

    result.items.clear();
    result.items.reserve(count);
    for (uint16_t i = 0; i < count; ++i) {
        in.alignToDword();
        TemplateItem item{};
        in.dword();  // help id
        in.dword();  // extended style
        in.dword();  // style
        item.rect = readRect(in);
        item.id = in.dword();
        item.classOrdinal = in.stringOrOrdinal();
        in.stringOrOrdinal();  // title
        in.skip(in.word());    // creation data
        if (!in.ok()) return false;
        result.items.push_back(item);
    }
    return true;
}

int mulDivRounded(int value, int numerator, int denominator)
{
    if (denominator == 0) return -1;
    const long long product = static_cast<long long>(value) * numerator;
    const long long magnitude = (std::llabs(product) * 2 + std::llabs(static_cast<long long>(denominator))) /
                                (2 * std::llabs(static_cast<long long>(denominator)));
    const bool negative = (product < 0) != (denominator < 0);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

PixelRect toPixels(DialogRect rect, BaseUnits units)
{
    return PixelRect{mulDivRounded(rect.x, units.x, 4), mulDivRounded(rect.y, units.y, 8),
                     mulDivRounded(rect.cx, units.x, 4), mulDivRounded(rect.cy, units.y, 8)};
}

}  // namespace panelLayout
