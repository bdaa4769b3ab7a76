// The program's version resource, linked into this test executable from the same
// resource script, read back by the system's version API from the file on disk.

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace quietwatch {
namespace {

// The whole version resource of this executable, as GetFileVersionInfoA returns it.
class VersionRecord : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        char path[MAX_PATH] = {};
        ASSERT_GT(::GetModuleFileNameA(nullptr, path, MAX_PATH), 0U);
        const DWORD size = ::GetFileVersionInfoSizeA(path, nullptr);
        ASSERT_GT(size, 0U) << path << " carries no version resource (" << ::GetLastError() << ")";
        block().resize(size);
        ASSERT_NE(::GetFileVersionInfoA(path, 0, size, block().data()), FALSE);
    }

    static std::vector<unsigned char> &block()
    {
        static std::vector<unsigned char> data;
        return data;
    }

    static std::string stringValue(const std::string &subBlock)
    {
        void *value = nullptr;
        UINT length = 0;
        if (::VerQueryValueA(block().data(), subBlock.c_str(), &value, &length) == FALSE || length == 0) {
            return "<missing>";
        }
        return static_cast<const char *>(value);
    }
};

TEST_F(VersionRecord, IsJapaneseUnicode)
{
    void *value = nullptr;
    UINT length = 0;
    ASSERT_NE(::VerQueryValueA(block().data(), "\\VarFileInfo\\Translation", &value, &length), FALSE);
    ASSERT_GE(length, 4U);
    const auto *pair = static_cast<const WORD *>(value);
    char translation[9] = {};
    std::snprintf(translation, sizeof translation, "%04X%04X", pair[0], pair[1]);
    std::printf("Translation      %s\n", translation);
    EXPECT_STREQ(translation, "041104B0");
    EXPECT_EQ(length, 4U) << "one translation only";
}

TEST_F(VersionRecord, FixedPartIsWellFormed)
{
    void *value = nullptr;
    UINT length = 0;
    ASSERT_NE(::VerQueryValueA(block().data(), "\\", &value, &length), FALSE);
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDU);
    std::printf("fixed version    %u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                unsigned{LOWORD(fixed->dwFileVersionMS)}, unsigned{HIWORD(fixed->dwFileVersionLS)},
                unsigned{LOWORD(fixed->dwFileVersionLS)});
    // The numeric version agrees with the text "1.00": major 1, minor 0.
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 1U);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 0U);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

// The record itself sits in the resource table under Japanese (Japan), as its text says.
TEST(Resources, VersionRecordIsFiledAsJapanese)
{
    EXPECT_NE(::FindResourceExA(nullptr, MAKEINTRESOURCEA(16) /* RT_VERSION */, MAKEINTRESOURCEA(1),
                                MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN)),
              nullptr);
}

// Resource names as FindResourceA takes them: "#n" for a numbered one.
BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR list)
{
    auto &names = *reinterpret_cast<std::vector<std::string> *>(list);
    names.push_back(IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name);
    return TRUE;
}

// Explorer shows a program file's first icon group; it holds the 32 x 32 window icon.
TEST(Resources, FileIconHasThe32PixelImage)
{
    std::vector<std::string> groups;
    ::EnumResourceNamesA(nullptr, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, &collectName,
                         reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_FALSE(groups.empty()) << "no icon in the program file";

    HRSRC found = ::FindResourceA(nullptr, groups.front().c_str(), MAKEINTRESOURCEA(14));
    ASSERT_NE(found, nullptr);
    const auto *directory = static_cast<const unsigned char *>(::LockResource(::LoadResource(nullptr, found)));
    ASSERT_NE(directory, nullptr);
    // GRPICONDIR: reserved, type 1, count; then 14-byte entries starting with width and height.
    WORD type = 0, count = 0;
    std::memcpy(&type, directory + 2, sizeof type);
    std::memcpy(&count, directory + 4, sizeof count);
    EXPECT_EQ(type, 1U);
    bool has32 = false;
    for (WORD i = 0; i < count; ++i) {
        const unsigned char *entry = directory + 6 + 14 * i;
        has32 = has32 || (entry[0] == 32 && entry[1] == 32);
    }
    EXPECT_TRUE(has32) << groups.front() << " has " << count << " images, none 32 x 32";
}

struct Field
{
    const char *name;
    const char *expected;
};

void PrintTo(const Field &f, std::ostream *os)
{
    *os << f.name << " = " << f.expected;
}

class VersionField : public VersionRecord, public ::testing::WithParamInterface<Field>
{
};

TEST_P(VersionField, HasTheProgramsValue)
{
    const std::string value = stringValue(std::string("\\StringFileInfo\\041104B0\\") + GetParam().name);
    std::printf("%-16s %s\n", GetParam().name, value.c_str());
    EXPECT_EQ(value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Strings, VersionField,
                         ::testing::Values(Field{"ProductName", "Quietwatch"}, Field{"InternalName", "Quietwatch"},
                                           Field{"OriginalFilename", "Quietwatch.exe"}, Field{"FileVersion", "1.00"},
                                           Field{"ProductVersion", "1.00"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace quietwatch
