// The Windows resources of the built programs: the application manifest and the version resource
// derived from each program's build number.
#include "build_config.hpp"
#include "common/scoped_handle.hpp"
#include "common/scoped_handle_win32.hpp"
#include "common/text.hpp"
#include "support/windows_process_win32.hpp"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel {
namespace {

struct BuiltProgram {
    std::filesystem::path exe;
    std::uint64_t build;
};

std::vector<BuiltProgram> builtPrograms() {
    return {{testing::buildFolder() / "bin" / "TXQNativeConnector.exe", config::kRunningBuild},
            {testing::buildFolder() / "next-release" / "TXQNativeConnector.exe", config::kRunningBuild + 1}};
}

std::wstring stringValue(std::vector<char>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(info.data(), query.c_str(), &value, &length) || length == 0) return L"(missing)";
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(ExeResources, VersionResourceFollowsTheBuildNumber) {
    for (const BuiltProgram& program : builtPrograms()) {
        SCOPED_TRACE(program.exe.string());
        const std::uint16_t fields[4] = {static_cast<std::uint16_t>(program.build / 1'000'000),
                                         static_cast<std::uint16_t>(program.build / 100 % 10'000),
                                         static_cast<std::uint16_t>(program.build % 100), 0};
        const std::wstring dotted =
            std::to_wstring(fields[0]) + L"." + std::to_wstring(fields[1]) + L"." + std::to_wstring(fields[2]) + L".0";
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(program.exe.c_str(), &ignored);
        ASSERT_GT(size, 0u) << GetLastError();
        std::vector<char> info(size);
        ASSERT_TRUE(GetFileVersionInfoW(program.exe.c_str(), 0, size, info.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        for (DWORD ms : {fixed->dwFileVersionMS, fixed->dwProductVersionMS}) {
            EXPECT_EQ(HIWORD(ms), fields[0]);
            EXPECT_EQ(LOWORD(ms), fields[1]);
        }
        for (DWORD ls : {fixed->dwFileVersionLS, fixed->dwProductVersionLS}) {
            EXPECT_EQ(HIWORD(ls), fields[2]);
            EXPECT_EQ(LOWORD(ls), fields[3]);
        }
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

        EXPECT_EQ(stringValue(info, L"ProductName"), L"Quorvel");
        EXPECT_EQ(stringValue(info, L"OriginalFilename"), L"TXQNativeConnector.exe");
        EXPECT_EQ(stringValue(info, L"FileVersion"), dotted);
        EXPECT_EQ(stringValue(info, L"ProductVersion"), dotted);
    }
}

TEST(ExeResources, ManifestRunsAsInvokerPerMonitorDpiAwareOnWindows10And11) {
    for (const BuiltProgram& program : builtPrograms()) {
        SCOPED_TRACE(program.exe.string());
        ScopedModule module(
            LoadLibraryExW(program.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module.valid()) << GetLastError();
        HRSRC resource = FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
        ASSERT_NE(resource, nullptr);
        const DWORD size = SizeofResource(module.get(), resource);
        const void* bytes = LockResource(LoadResource(module.get(), resource));
        ASSERT_NE(bytes, nullptr);
        const std::string manifest(static_cast<const char*>(bytes), size);
        EXPECT_NE(manifest.find(R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)"), std::string::npos);
        EXPECT_NE(manifest.find(R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)"), std::string::npos);
        EXPECT_NE(manifest.find(R"(<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">)"
                                R"(PerMonitorV2</dpiAwareness>)"),
                  std::string::npos);
        EXPECT_NE(manifest.find(R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">)"
                                R"(true/pm</dpiAware>)"),
                  std::string::npos);
    }
}

// The manifest's dependency resolves: in the programs' activation context comctl32 comes from the
// side-by-side assembly of Common Controls 6, which draws message boxes in the system's visual
// style (without it, from System32: version 5).
TEST(ExeResources, ManifestBringsCommonControls6) {
    for (const BuiltProgram& program : builtPrograms()) {
        SCOPED_TRACE(program.exe.string());
        ACTCTXW request{};
        request.cbSize = sizeof(request);
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = program.exe.c_str();
        request.lpResourceName = MAKEINTRESOURCEW(1);
        const HANDLE context = CreateActCtxW(&request);
        ASSERT_NE(context, INVALID_HANDLE_VALUE) << GetLastError();
        ULONG_PTR cookie = 0;
        ASSERT_TRUE(ActivateActCtx(context, &cookie));
        const HMODULE comctl32 = LoadLibraryW(L"comctl32.dll");
        DeactivateActCtx(0, cookie);
        ReleaseActCtx(context);
        ASSERT_NE(comctl32, nullptr) << GetLastError();
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(comctl32, path, MAX_PATH);
        FreeLibrary(comctl32);
        const std::wstring folder = lowerCopy(std::wstring_view(path, length));
        EXPECT_NE(folder.find(L"\\winsxs\\amd64_microsoft.windows.common-controls_6595b64144ccf1df_6."),
                  std::wstring::npos)
            << toNarrow(folder);
    }
}

// The first icon group holds the application icon, which Windows can make into an icon at each
// size it asks an exe for: the small sizes from their bitmaps, 256 from its PNG.
TEST(ExeResources, IconDecodesAtEverySizeWindowsAsksFor) {
    for (const BuiltProgram& program : builtPrograms()) {
        SCOPED_TRACE(program.exe.string());
        ScopedModule module(
            LoadLibraryExW(program.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module.valid()) << GetLastError();
        const HRSRC group = FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_GROUP_ICON);
        ASSERT_NE(group, nullptr);
        auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module.get(), group)));
        ASSERT_NE(directory, nullptr);
        for (const int size : {16, 20, 24, 32, 40, 48, 64, 256}) {
            SCOPED_TRACE(size);
            const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
            const HRSRC image = FindResourceW(module.get(), MAKEINTRESOURCEW(id), RT_ICON);
            ASSERT_NE(image, nullptr);
            auto* bytes = static_cast<BYTE*>(LockResource(LoadResource(module.get(), image)));
            const HICON icon = CreateIconFromResourceEx(bytes, SizeofResource(module.get(), image), TRUE, 0x00030000,
                                                        size, size, LR_DEFAULTCOLOR);
            ASSERT_NE(icon, nullptr) << GetLastError();
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour{};
            GetObjectW(info.hbmColor, sizeof(colour), &colour);
            EXPECT_EQ(colour.bmWidth, size);
            EXPECT_EQ(colour.bmHeight, size);
            // An image with an alpha channel: the mark's rounded corners are see-through.
            EXPECT_EQ(colour.bmBitsPixel, 32);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
}

}  // namespace
}  // namespace quorvel
