// The tree list's row strings, decoded from any text: the visible text is the text before the
// marker, and a decoded row (with a size the encoder can show) survives encoding unchanged.
#include "FuzzSeeds.h"
#include "TreeRow.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
// Row strings as the encoder writes them, and a few it never writes.
TSeeds MakeSeeds()
{
    TSeeds seeds;
    auto add = [&seeds](const QString& row) {
        const QByteArray utf8 = row.toUtf8();
        seeds.emplace_back(utf8.begin(), utf8.end());
    };
    TTreeRow row;
    row.text = QString::fromUtf8("caf\xC3\xA9.txt");
    add(EncodeRow(row));
    row.type = 0;
    row.level = 2;
    add(EncodeRow(row));
    row.icon = 20101;
    row.size = 6000000000LL;
    row.SetTime(0x01D5A1B2C3D4E5F6ull);
    add(EncodeRow(row));
    const QString marker(kRowMarker);
    for (const char* pszSuffix : {"", "x,1", "1,,3", "-1,-2,-3,-4,-5,-6,-7", "99999999999999999999", "1,2,3,4,5"})
        add("name" + marker + QString::fromLatin1(pszSuffix));
    return seeds;
}
} // namespace

VANTRY_FUZZ_SEEDS(MakeSeeds)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const QString encoded = QString::fromUtf8(reinterpret_cast<const char*>(pData), static_cast<qsizetype>(nSize));
    const TTreeRow row = DecodeRow(encoded);
    if (row.text != RowVisibleText(encoded) || row.text.contains(kRowMarker)) {
        std::fprintf(stderr, "decoded text differs from the visible text\n");
        std::abort();
    }
    if (row.size >= -1 && DecodeRow(EncodeRow(row)) != row) {
        std::fprintf(stderr, "a decoded row changed through encoding\n");
        std::abort();
    }
    return 0;
}
