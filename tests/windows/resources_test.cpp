// The About box, the icon and the version block as the build stores them, read back
// through the platform's own resource functions, and the About box run for real. The
// expected values are written out here, not read from the resource script.
#include "base/win32_headers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/win32/about_dialog.h"
#include "res/build_info.h"
#include "res/resource.h"
#include "tests/windows/resource_reader.h"

namespace {

const WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

const char kAboutCaption[] = "About Velmorin";
const char kAboutSummary[] =
    "A nifty program for playing back wav files so you can transcribe them.";
const char kAboutContact[] =
    "Please send comments, suggestions or problem reports to:\n"
    "feedback@velmorin.example\n"
    "\n"
    "Find updates to Velmorin " VELMORIN_VERSION
    " at https://www.velmorin.example/\n"
    "\n"
    "Thank you for using Velmorin!";

struct AboutControl {
    int id;  // as the 16-bit identifier of a classic template
    const char* cls;
    DWORD style;  // besides WS_CHILD
    const char* text;
    short x, y, cx, cy;
};

const AboutControl kAboutControls[4] = {
    {IDOK, "Button", BS_DEFPUSHBUTTON | WS_VISIBLE | WS_TABSTOP, "OK", 184, 113, 50, 14},
    {0xFFFF, "Static", SS_LEFT | WS_GROUP | WS_VISIBLE, kAboutSummary, 33, 7, 139, 20},
    {0xFFFF, "Static", SS_ICON | WS_VISIBLE, "#128", 7, 7, 20, 20},
    {0xFFFF, "Static", SS_LEFT | WS_GROUP | WS_VISIBLE, kAboutContact, 33, 32, 202, 68},
};

HMODULE Self() {
    return GetModuleHandleA(nullptr);
}

struct Resource {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

Resource Find(LPCSTR name, LPCSTR type) {
    HRSRC info = FindResourceA(Self(), name, type);
    if (info == nullptr)
        return {};
    return {static_cast<const BYTE*>(LockResource(LoadResource(Self(), info))),
            SizeofResource(Self(), info)};
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR out) {
    reinterpret_cast<std::vector<WORD>*>(out)->push_back(language);
    return TRUE;
}

std::vector<WORD> Languages(LPCSTR type, LPCSTR name) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(Self(), type, name, CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

// Resource names: numbers as "#<n>", names as stored.
BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR out) {
    reinterpret_cast<std::vector<std::string>*>(out)->push_back(
        IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name))
                             : std::string(name));
    return TRUE;
}

std::vector<std::string> Names(LPCSTR type) {
    std::vector<std::string> names;
    EnumResourceNamesA(Self(), type, CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

// ---------------------------------------------------------------------------------------
// The About template

TEST(AboutResource, ClassicTemplateWithItsFourControls) {
    const Resource about = Find("ABOUT", RT_DIALOG);
    ASSERT_NE(about.data, nullptr);
    ResourceReader r(about.data);
    // A classic template starts with the style; an extended one with 1, 0xFFFF.
    EXPECT_EQ(r.Dword(),
              static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(r.Dword(), 0u);  // extended style
    const WORD count = r.Word();
    ASSERT_EQ(count, 4);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 241);
    EXPECT_EQ(r.Short(), 134);
    EXPECT_EQ(r.NameOrOrdinal(), "");  // no menu
    EXPECT_EQ(r.NameOrOrdinal(), "");  // the standard dialog class
    EXPECT_EQ(r.String(), kAboutCaption);
    EXPECT_EQ(r.Word(), 8);  // points
    EXPECT_EQ(r.String(), "MS Sans Serif");

    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const AboutControl& e = kAboutControls[i];
        r.AlignDword();
        EXPECT_EQ(r.Dword(), e.style | WS_CHILD);
        EXPECT_EQ(r.Dword(), 0u);  // extended style
        EXPECT_EQ(r.Short(), e.x);
        EXPECT_EQ(r.Short(), e.y);
        EXPECT_EQ(r.Short(), e.cx);
        EXPECT_EQ(r.Short(), e.cy);
        EXPECT_EQ(r.Word(), e.id);
        // The predefined classes are stored as ordinals: 0x80 button, 0x82 static.
        EXPECT_EQ(r.NameOrOrdinal(), std::string(e.cls) == "Button" ? "#128" : "#130");
        EXPECT_EQ(r.NameOrOrdinal(), e.text);
        r.Skip(r.Word());  // creation data
    }
    // Nothing follows the fourth control but padding.
    EXPECT_LE(about.size - r.Offset(), 3u);
    EXPECT_EQ(Languages(RT_DIALOG, "ABOUT"), std::vector<WORD>{kUsEnglish});
}

TEST(AboutResource, ContactTextIsSplitByLineFeedsWithTwoBlankLines) {
    // Read back from a box made from the template, whatever the expected text says.
    HWND dialog = CreateDialogParamA(Self(), IDD_ABOUT, nullptr, AboutDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    HWND block = GetWindow(
        GetWindow(GetWindow(GetWindow(dialog, GW_CHILD), GW_HWNDNEXT), GW_HWNDNEXT), GW_HWNDNEXT);
    ASSERT_NE(block, nullptr);
    char buffer[512];
    GetWindowTextA(block, buffer, sizeof buffer);
    DestroyWindow(dialog);

    // A carriage return would show as a box in a static control.
    const std::string text = buffer;
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    // Invitation, address, blank, where to find updates, blank, thanks.
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].back(), ':');
    EXPECT_NE(lines[1].find('@'), std::string::npos);
    EXPECT_TRUE(lines[2].empty());
    EXPECT_NE(lines[3].find("Velmorin"), std::string::npos);
    EXPECT_NE(lines[3].find("https://"), std::string::npos);
    EXPECT_TRUE(lines[4].empty());
    EXPECT_FALSE(lines[5].empty());
}

TEST(AboutResource, FoundByNameInAnyCase) {
    const Resource stored = Find("ABOUT", RT_DIALOG);
    ASSERT_NE(stored.data, nullptr);
    for (const char* name : {"About", "about", "aBoUt", IDD_ABOUT}) {
        EXPECT_EQ(Find(name, RT_DIALOG).data, stored.data) << name;
    }
    // The name is the only way to it: no dialog is stored under a number besides the
    // main one.
    EXPECT_EQ(Names(RT_DIALOG),
              (std::vector<std::string>{"ABOUT", "#" + std::to_string(IDD_MAIN)}));
}

TEST(AboutResource, ProcedureHandlesOnlyOkAndCancel) {
    // Called outside any dialog: everything but OK and Cancel is left to the dialog
    // manager, WM_INITDIALOG included (the box sets no focus of its own).
    EXPECT_EQ(AboutDialogProc(nullptr, WM_INITDIALOG, 0, 0), FALSE);
    EXPECT_EQ(AboutDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(IDABORT, BN_CLICKED), 0), FALSE);
    EXPECT_EQ(AboutDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(IDM_HELP_ABOUT, 0), 0), FALSE);
    EXPECT_EQ(AboutDialogProc(nullptr, WM_CLOSE, 0, 0), FALSE);
    EXPECT_EQ(AboutDialogProc(nullptr, WM_SYSCOMMAND, SC_CLOSE, 0), FALSE);
}

// ---------------------------------------------------------------------------------------
// The icon

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14, "the stored layout");

TEST(IconResource, OneGroupOfTwoSixteenColourImages) {
    const Resource group = Find(MAKEINTRESOURCEA(IDI_MAIN), RT_GROUP_ICON);
    ASSERT_NE(group.data, nullptr);
    ResourceReader r(group.data);
    EXPECT_EQ(r.Word(), 0);  // reserved
    EXPECT_EQ(r.Word(), 1);  // icons, not cursors
    ASSERT_EQ(r.Word(), 2);
    ASSERT_EQ(group.size, 6u + 2 * sizeof(GroupIconEntry));
    GroupIconEntry entries[2];
    memcpy(entries, group.data + 6, sizeof entries);

    const BYTE sizes[2] = {32, 16};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        const GroupIconEntry& e = entries[i];
        const LONG size = sizes[i];
        EXPECT_EQ(e.width, sizes[i]);
        EXPECT_EQ(e.height, sizes[i]);
        EXPECT_EQ(e.colorCount, 16);
        EXPECT_EQ(e.reserved, 0);
        EXPECT_EQ(e.planes, 1);
        EXPECT_EQ(e.bitCount, 4);
        EXPECT_EQ(e.id, i + 1);

        const Resource image = Find(MAKEINTRESOURCEA(e.id), RT_ICON);
        ASSERT_NE(image.data, nullptr);
        EXPECT_EQ(image.size, e.bytesInRes);
        ASSERT_GE(image.size, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        memcpy(&header, image.data, sizeof header);
        EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(header.biWidth, size);
        EXPECT_EQ(header.biHeight, 2 * size);  // colour bits and AND mask
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biBitCount, 4);
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
        EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 16) << header.biClrUsed;
        // Header, a 16-entry palette, 4-bit rows and 1-bit mask rows, each row padded
        // to 32 bits; nothing else.
        const DWORD colourRow = (size * 4 + 31) / 32 * 4;
        const DWORD maskRow = (size + 31) / 32 * 4;
        EXPECT_EQ(image.size, 40 + 16 * 4 + size * (colourRow + maskRow));
        EXPECT_EQ(Languages(RT_ICON, MAKEINTRESOURCEA(e.id)), std::vector<WORD>{kUsEnglish});
    }
    EXPECT_EQ(Languages(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MAIN)), std::vector<WORD>{kUsEnglish});
}

TEST(IconResource, TheOnlyIconGroupAndImages) {
    // Being the only group, it is also the icon the shell shows for the program file.
    EXPECT_EQ(Names(RT_GROUP_ICON), std::vector<std::string>{"#128"});
    EXPECT_EQ(Names(RT_ICON), (std::vector<std::string>{"#1", "#2"}));
}

TEST(IconResource, LoadsInBothSizes) {
    HICON icon = LoadIconA(Self(), MAKEINTRESOURCEA(IDI_MAIN));
    ASSERT_NE(icon, nullptr);
    for (int size : {32, 16}) {
        SCOPED_TRACE(size);
        HICON sized = static_cast<HICON>(
            LoadImageA(Self(), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, size, size, 0));
        ASSERT_NE(sized, nullptr);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(sized, &info));
        EXPECT_TRUE(info.fIcon);
        BITMAP bitmap = {};
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        EXPECT_EQ(bitmap.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(sized);
    }
    // The platform picks the image with the matching size out of the group.
    const Resource group = Find(MAKEINTRESOURCEA(IDI_MAIN), RT_GROUP_ICON);
    ASSERT_NE(group.data, nullptr);
    BYTE* bits = const_cast<BYTE*>(group.data);
    EXPECT_EQ(LookupIconIdFromDirectoryEx(bits, TRUE, 32, 32, LR_DEFAULTCOLOR), 1);
    EXPECT_EQ(LookupIconIdFromDirectoryEx(bits, TRUE, 16, 16, LR_DEFAULTCOLOR), 2);
}

// ---------------------------------------------------------------------------------------
// The version block

const std::vector<std::pair<std::string, std::string>> kVersionStrings = {
    {"Comments", ""},
    {"CompanyName", "Velmorin Project"},
    {"FileDescription", "Velmorin"},
    {"FileVersion", "1, 1, 0, 0"},
    {"InternalName", "Velmorin"},
    {"LegalCopyright", "Copyright (C) 2026 Velmorin Project"},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "velmorin.exe"},
    {"PrivateBuild", ""},
    {"ProductName", "Velmorin"},
    {"ProductVersion", "1, 1, 0, 0"},
    {"SpecialBuild", ""},
};

// version.dll is loaded by hand so that the tests need no import library beyond the
// program's own.
class VersionInfo {
  public:
    VersionInfo() {
        library_ = LoadLibraryA("version.dll");
        if (library_ == nullptr)
            return;
        auto getSize = Function<DWORD(WINAPI*)(LPCSTR, LPDWORD)>("GetFileVersionInfoSizeA");
        auto getInfo = Function<BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID)>("GetFileVersionInfoA");
        query_ = Function<BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT)>("VerQueryValueA");
        if (getSize == nullptr || getInfo == nullptr || query_ == nullptr)
            return;
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, sizeof path);
        DWORD handle = 0;
        const DWORD size = getSize(path, &handle);
        if (size == 0)
            return;
        block_.resize(size);
        if (!getInfo(path, 0, size, block_.data()))
            block_.clear();
    }
    ~VersionInfo() {
        if (library_ != nullptr)
            FreeLibrary(library_);
    }
    VersionInfo(const VersionInfo&) = delete;
    VersionInfo& operator=(const VersionInfo&) = delete;

    bool Loaded() const { return !block_.empty(); }

    bool Query(const std::string& path, const void** value, UINT* length) {
        void* found = nullptr;
        *length = 0;
        const BOOL ok = query_(block_.data(), path.c_str(), &found, length);
        *value = found;
        return ok != FALSE;
    }

  private:
    template <typename F>
    F Function(const char* name) {
        // Through the generic function type, which converts to any other without a
        // warning.
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(library_, name)));
    }

    HMODULE library_ = nullptr;
    BOOL(WINAPI* query_)(LPCVOID, LPCSTR, LPVOID*, PUINT) = nullptr;
    std::vector<BYTE> block_;
};

TEST(VersionResource, FixedPartSaysOneZeroZeroOne) {
    VersionInfo version;
    ASSERT_TRUE(version.Loaded());
    const void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(version.Query("\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwStrucVersion, 0x00010000u);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed.dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed.dwFileSubtype, 0u);
    EXPECT_EQ(fixed.dwFileDateMS, 0u);
    EXPECT_EQ(fixed.dwFileDateLS, 0u);
}

TEST(VersionResource, EveryStringOfTheUsEnglishTable) {
    VersionInfo version;
    ASSERT_TRUE(version.Loaded());
    for (const auto& [key, expected] : kVersionStrings) {
        SCOPED_TRACE(key);
        const void* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(version.Query("\\StringFileInfo\\040904b0\\" + key, &value, &length));
        const std::string text =
            length == 0 ? std::string() : std::string(static_cast<const char*>(value));
        EXPECT_EQ(text, expected);
    }
}

TEST(VersionResource, TranslationIsUsEnglishUnicode) {
    VersionInfo version;
    ASSERT_TRUE(version.Loaded());
    const void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(version.Query("\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    WORD pair[2];
    memcpy(pair, value, sizeof pair);
    EXPECT_EQ(pair[0], 0x0409);
    EXPECT_EQ(pair[1], 0x04B0);
}

// One node of the stored version tree: key, text value (when it is text) and children.
struct VersionNode {
    std::string key;
    std::string text;
    std::vector<VersionNode> children;
};

size_t AlignDword(size_t offset) {
    return (offset + 3) / 4 * 4;
}

// Every node is length, value length, type, key, then the value and the children, each
// starting on a 32-bit boundary from the start of the resource.
VersionNode ParseVersionNode(const BYTE* base, size_t offset) {
    ResourceReader r(base);
    r.Skip(offset);
    const WORD length = r.Word();
    const WORD valueLength = r.Word();
    const WORD type = r.Word();
    VersionNode node;
    node.key = r.String();
    r.AlignDword();
    const size_t value = r.Offset();
    size_t valueBytes = valueLength;
    if (type == 1) {
        // Text values count 16-bit characters, the terminating one included.
        valueBytes = valueLength * 2u;
        for (WORD i = 0; i < valueLength; ++i) {
            const WORD c = r.Word();
            if (c == 0)
                break;
            node.text += static_cast<char>(c);
        }
    }
    const size_t end = offset + length;
    for (size_t child = AlignDword(value + valueBytes); child < end;) {
        ResourceReader size(base);
        size.Skip(child);
        const WORD childLength = size.Word();
        if (childLength == 0)
            break;
        node.children.push_back(ParseVersionNode(base, child));
        child = AlignDword(child + childLength);
    }
    return node;
}

TEST(VersionResource, StoredTreeHoldsTheseEntriesAndNoOthers) {
    const Resource version = Find(MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    ASSERT_NE(version.data, nullptr);
    const VersionNode root = ParseVersionNode(version.data, 0);
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    ASSERT_EQ(root.children.size(), 2u);

    const VersionNode& strings = root.children[0];
    EXPECT_EQ(strings.key, "StringFileInfo");
    ASSERT_EQ(strings.children.size(), 1u);
    EXPECT_EQ(strings.children[0].key, "040904b0");
    std::vector<std::pair<std::string, std::string>> stored;
    for (const VersionNode& entry : strings.children[0].children)
        stored.emplace_back(entry.key, entry.text);
    EXPECT_EQ(stored, kVersionStrings);

    const VersionNode& variables = root.children[1];
    EXPECT_EQ(variables.key, "VarFileInfo");
    ASSERT_EQ(variables.children.size(), 1u);
    EXPECT_EQ(variables.children[0].key, "Translation");

    EXPECT_EQ(Names(RT_VERSION), std::vector<std::string>{"#1"});
    EXPECT_EQ(Languages(RT_VERSION, MAKEINTRESOURCEA(VS_VERSION_INFO)),
              std::vector<WORD>{kUsEnglish});
}

// ---------------------------------------------------------------------------------------
// The About box, run modally as the main dialog runs it

enum class Closing { kOkCommand, kCancelCommand, kClickOk, kEnterKey, kEscapeKey, kCloseBox };

std::string Name(Closing how) {
    switch (how) {
        case Closing::kOkCommand:
            return "OkCommand";
        case Closing::kCancelCommand:
            return "CancelCommand";
        case Closing::kClickOk:
            return "ClickOk";
        case Closing::kEnterKey:
            return "EnterKey";
        case Closing::kEscapeKey:
            return "EscapeKey";
        case Closing::kCloseBox:
            return "CloseBox";
    }
    return "";
}

// What the timer, running inside the About box's modal loop, saw and did.
struct LiveAbout {
    HWND owner = nullptr;
    Closing how = Closing::kOkCommand;
    DWORD deadline = 0;
    HWND dialog = nullptr;
    bool inspected = false;
    bool ownerDisabled = false;
    bool openAfterOtherCommands = false;
    bool closeSent = false;
    bool gaveUp = false;
};

LiveAbout* g_live = nullptr;

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM out) {
    char cls[16];
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && GetWindow(window, GW_OWNER) == g_live->owner) {
        *reinterpret_cast<HWND*>(out) = window;
        return FALSE;
    }
    return TRUE;
}

void InspectAboutBox(HWND dialog, HWND owner) {
    char text[512];
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ(text, kAboutCaption);
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX |
                        WS_THICKFRAME | WS_CHILD;
    EXPECT_EQ(style & frame, static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(GetMenu(dialog), nullptr);

    // Not centred: the client area opens at the top left of the owner's.
    POINT aboutOrigin = {0, 0};
    POINT ownerOrigin = {0, 0};
    ClientToScreen(dialog, &aboutOrigin);
    ClientToScreen(owner, &ownerOrigin);
    EXPECT_EQ(aboutOrigin.x, ownerOrigin.x);
    EXPECT_EQ(aboutOrigin.y, ownerOrigin.y);
    RECT client;
    GetClientRect(dialog, &client);
    RECT size = {0, 0, 241, 134};
    MapDialogRect(dialog, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    LOGFONTA font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");

    int index = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT), ++index) {
        ASSERT_LT(index, 4);
        const AboutControl& e = kAboutControls[index];
        SCOPED_TRACE("control " + std::to_string(index + 1));
        EXPECT_EQ(static_cast<WORD>(GetDlgCtrlID(child)), e.id);
        char cls[64];
        GetClassNameA(child, cls, sizeof cls);
        EXPECT_STRCASEEQ(cls, e.cls);
        const DWORD childStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
        EXPECT_EQ(childStyle & (e.style | WS_CHILD), e.style | WS_CHILD);
        RECT origin = {e.x, e.y, e.cx, e.cy};
        MapDialogRect(dialog, &origin);
        RECT actual;
        GetWindowRect(child, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, origin.left);
        EXPECT_EQ(actual.top, origin.top);
        if ((e.style & SS_TYPEMASK) == SS_ICON && std::string(e.cls) == "Static") {
            // An icon control takes the size of its icon, the 32 x 32 image.
            HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            ASSERT_NE(icon, nullptr);
            ICONINFO info = {};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP bitmap = {};
            GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
            EXPECT_EQ(bitmap.bmWidth, 32);
            EXPECT_EQ(bitmap.bmHeight, 32);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            continue;
        }
        EXPECT_EQ(actual.right - actual.left, origin.right);
        EXPECT_EQ(actual.bottom - actual.top, origin.bottom);
        GetWindowTextA(child, text, sizeof text);
        EXPECT_STREQ(text, e.text);
    }
    EXPECT_EQ(index, 4);
}

void SendClose(HWND dialog, Closing how) {
    HWND focus = GetFocus();
    if (focus == nullptr || (focus != dialog && !IsChild(dialog, focus)))
        focus = dialog;
    switch (how) {
        case Closing::kOkCommand:
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            break;
        case Closing::kCancelCommand:
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            break;
        case Closing::kClickOk:
            PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            break;
        case Closing::kEnterKey:
            PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 1);
            break;
        case Closing::kEscapeKey:
            PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 1);
            break;
        case Closing::kCloseBox:
            // What the close box and Alt+F4 send; the dialog manager turns the close
            // into IDCANCEL.
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
    }
}

void CALLBACK OnLiveTick(HWND, UINT, UINT_PTR timer, DWORD) {
    LiveAbout& live = *g_live;
    const bool late = static_cast<LONG>(GetTickCount() - live.deadline) > 0;
    if (live.dialog == nullptr) {
        EnumThreadWindows(GetCurrentThreadId(), FindOwnedDialog,
                          reinterpret_cast<LPARAM>(&live.dialog));
        if (live.dialog == nullptr) {
            if (late) {
                // The box never showed: leave the modal loop rather than hang.
                KillTimer(nullptr, timer);
                live.gaveUp = true;
                PostQuitMessage(0);
            }
            return;
        }
        live.ownerDisabled = !IsWindowEnabled(live.owner);
        InspectAboutBox(live.dialog, live.owner);
        live.inspected = true;
        // Other commands leave the box open.
        PostMessageA(live.dialog, WM_COMMAND, MAKEWPARAM(IDABORT, BN_CLICKED), 0);
        PostMessageA(live.dialog, WM_COMMAND, MAKEWPARAM(IDM_HELP_ABOUT, 0), 0);
        return;
    }
    if (!live.closeSent) {
        live.openAfterOtherCommands = IsWindow(live.dialog) && IsWindowVisible(live.dialog);
        SendClose(live.dialog, live.how);
        live.closeSent = true;
        return;
    }
    if (late && IsWindow(live.dialog)) {
        // Still open long after the close: end it with a result the test rejects.
        live.gaveUp = true;
        EndDialog(live.dialog, 99);
    }
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateOwner() {
    static ATOM atom = 0;
    if (atom == 0) {
        WNDCLASSA cls = {};
        cls.lpfnWndProc = OwnerProc;
        cls.hInstance = Self();
        cls.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        cls.lpszClassName = "VelmorinAboutOwner";
        atom = RegisterClassA(&cls);
    }
    return CreateWindowExA(0, "VelmorinAboutOwner", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60,
                           50, 600, 450, nullptr, nullptr, Self(), nullptr);
}

class AboutBoxCloses : public testing::TestWithParam<Closing> {};

TEST_P(AboutBoxCloses, WithResultTwo) {
    HWND owner = CreateOwner();
    ASSERT_NE(owner, nullptr);
    LiveAbout live;
    live.owner = owner;
    live.how = GetParam();
    live.deadline = GetTickCount() + 5000;
    g_live = &live;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, OnLiveTick);
    ASSERT_NE(timer, 0u);

    // As the main dialog asks for it: by name, in mixed case.
    const INT_PTR result = DialogBoxParamA(Self(), "About", owner, AboutDialogProc, 0);

    KillTimer(nullptr, timer);
    g_live = nullptr;
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    EXPECT_FALSE(live.gaveUp);
    EXPECT_TRUE(live.inspected);
    EXPECT_TRUE(live.ownerDisabled);
    EXPECT_TRUE(live.openAfterOtherCommands);
    EXPECT_EQ(result, 2);
    EXPECT_FALSE(IsWindow(live.dialog));
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, AboutBoxCloses,
                         testing::Values(Closing::kOkCommand, Closing::kCancelCommand,
                                         Closing::kClickOk, Closing::kEnterKey, Closing::kEscapeKey,
                                         Closing::kCloseBox),
                         [](const testing::TestParamInfo<Closing>& param) {
                             return Name(param.param);
                         });

}  // namespace
