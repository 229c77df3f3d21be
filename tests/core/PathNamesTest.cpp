#include "core/base/PathNames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A folder path of `length` characters under C:\, in pieces of 50.
std::wstring deepFolder(size_t length)
{
    std::wstring path = L"C:\\";
    while (path.size() + 51 <= length) path += std::wstring(50, L'd') + L"\\";
    path += std::wstring(length - path.size() - 1, L'e') + L"\\";
    return path;
}

TEST(PathNames, OnlyLongFullPathsTakeTheExtendedForm)
{
    const std::wstring shortest = deepFolder(259 - 9) + L"x.wav.tmp";  // 259 characters and the NUL: fits
    ASSERT_EQ(shortest.size(), 259u);
    EXPECT_EQ(extendedLengthPath(shortest), shortest);

    const std::wstring longer = shortest + L"2";
    EXPECT_EQ(extendedLengthPath(longer), L"\\\\?\\" + longer);
    const std::wstring share = L"\\\\server\\share\\" + std::wstring(300, L'n') + L".wav";
    EXPECT_EQ(extendedLengthPath(share), L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'n') + L".wav");

    // Already extended, or relative: left as they are.
    const std::wstring extended = L"\\\\?\\" + longer;
    EXPECT_EQ(extendedLengthPath(extended), extended);
    const std::wstring relative = std::wstring(300, L'r') + L"\\a.wav";
    EXPECT_EQ(extendedLengthPath(relative), relative);
    const std::wstring driveRelative = L"C:" + relative;
    EXPECT_EQ(extendedLengthPath(driveRelative), driveRelative);
}

TEST(PathNames, TheExtendedFormResolvesWhatTheSystemNoLongerDoes)
{
    const std::wstring deep = std::wstring(280, L'f');
    EXPECT_EQ(extendedLengthPath(L"c:/" + deep + L"/./g/../h.wav"), L"\\\\?\\c:\\" + deep + L"\\h.wav");
    EXPECT_EQ(extendedLengthPath(L"C:\\\\" + deep + L"\\\\h.wav"), L"\\\\?\\C:\\" + deep + L"\\h.wav");
    // ".." cannot climb above the drive.
    EXPECT_EQ(extendedLengthPath(L"C:\\..\\..\\" + deep), L"\\\\?\\C:\\" + deep);
    EXPECT_EQ(extendedLengthPath(L"C:\\" + deep + L"\\"), L"\\\\?\\C:\\" + deep + L"\\");
}

TEST(PathNames, TemporaryNamesStayBesideTheTargetAndApart)
{
    EXPECT_EQ(temporaryNameBeside(L"C:\\sounds\\a.wav", 0x1a2b, 0), L"C:\\sounds\\a.wav.~1a2b-0");
    EXPECT_EQ(temporaryNameBeside(L"C:/sounds/a.wav", 7, 31), L"C:/sounds/a.wav.~7-1f");
    EXPECT_EQ(temporaryNameBeside(L"a.wav", 7, 1), L"a.wav.~7-1");
    EXPECT_NE(temporaryNameBeside(L"a.wav", 7, 1), temporaryNameBeside(L"a.wav", 8, 1));

    // A name near the longest one is cut, never the folder.
    const std::wstring folder = L"C:\\" + std::wstring(400, L'p') + L"\\";
    const std::wstring name = std::wstring(250, L'n') + L".wav";
    const std::wstring temporary = temporaryNameBeside(folder + name, 0xffffffffu, 0xffffffffu);
    ASSERT_EQ(temporary.substr(0, folder.size()), folder);
    const std::wstring tail = temporary.substr(folder.size());
    EXPECT_EQ(tail.size(), longestFileName);
    EXPECT_EQ(tail.substr(tail.size() - 19), L".~ffffffff-ffffffff");
    EXPECT_EQ(tail.substr(0, 236), name.substr(0, 236));
}

TEST(PathNames, ExportsAreNamedAfterTheSoundsFile)
{
    EXPECT_EQ(nameAfterSound(L"C:\\takes.v2\\voice.take1.wav", L"png"), L"voice.take1.png");
    EXPECT_EQ(nameAfterSound(L"C:\\takes.v2\\plain", L"csv"), L"plain.csv");
    EXPECT_EQ(nameAfterSound(L"/home/a/ka.WAV", L"bmp"), L"ka.bmp");
    EXPECT_EQ(nameAfterSound(L"", L"csv"), L"Kelvara.csv");  // a recording, or no sound
    EXPECT_EQ(nameAfterSound(L"C:\\x\\.wav", L"png"), L"Kelvara.png");
}

}  // namespace
