// Flitto's own version information, placed in the ELF section that
// TRzVersionInfo reads. This file is compiled into the executable itself
// (not into a library, where nothing would pull it in) and into the tests
// that read a file carrying it.

#include "wizard/version/VersionResource.h"

#include <array>

namespace {

using namespace VersionResource;

// Language 0x0C09 with code page 1252, as the translation entry declares.
constexpr Translation Translations[] = {{0x0C09, 0x04E4}};

constexpr StringEntry Strings[] = {
    {"StringFileInfo\\0c0904e4\\CompanyName", ""},
    {"StringFileInfo\\0c0904e4\\FileDescription", ""},
    {"StringFileInfo\\0c0904e4\\FileVersion", "4.0.0.0"},
    {"StringFileInfo\\0c0904e4\\InternalName", ""},
    {"StringFileInfo\\0c0904e4\\LegalCopyright", ""},
    {"StringFileInfo\\0c0904e4\\LegalTrademarks", ""},
    {"StringFileInfo\\0c0904e4\\OriginalFilename", ""},
    {"StringFileInfo\\0c0904e4\\ProductName", ""},
    {"StringFileInfo\\0c0904e4\\ProductVersion", "1.0.0.0"},
    {"StringFileInfo\\0c0904e4\\Comments", ""},
};

// Fixed file and product versions 4.0.0.0: high word major.minor, low word
// release.build.
constexpr Definition FlittoVersion{
    {0x00040000, 0x00000000, 0x00040000, 0x00000000}, Translations, Strings};

static_assert(EncodedSize(FlittoVersion) <= std::size_t(MaxSize), "the reader would refuse it");

constexpr std::array<unsigned char, EncodedSize(FlittoVersion)> EncodeFlittoVersion()
{
    std::array<unsigned char, EncodedSize(FlittoVersion)> bytes{};
    Encode(FlittoVersion, bytes.data());
    return bytes;
}

constexpr bool SameText(const char *a, const char *b)
{
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}
static_assert(SameText(SectionName, ".flitto.version"), "the reader looks for this section");

} // namespace

// "used" and "retain": nothing in the program refers to this constant, it is
// read back from the file, so neither the compiler nor the linker may drop
// it. Initialised straight from the encoder, so that no second copy lands in
// the program's other constants; an explicit section also keeps the
// sanitizer from padding it.
[[gnu::used, gnu::retain,
  gnu::section(".flitto.version")]] static constexpr auto flittoVersionResource =
    EncodeFlittoVersion();
