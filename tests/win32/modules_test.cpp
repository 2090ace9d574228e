// Loading libraries through Win32ModuleLoader: a library by its path (the stand-in Steam client)
// and System32 libraries by name.
#include "platform/modules_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <gtest/gtest.h>

#include <windows.h>

namespace quorvel {
namespace {

namespace fs = std::filesystem;

struct Modules : ::testing::Test {
    testing::TempDir dir;
    Win32ModuleLoader loader;
    fs::path library;

    void SetUp() override {
        fs::create_directories(dir / L"库 folder");
        library = dir / L"库 folder" / L"steamclient64.dll";
        fs::copy_file(testing::buildFolder() / "stand-ins" / "steamclient64.dll", library);
    }
};

TEST_F(Modules, ALibraryByItsPathIsLoadedWithItsExportsAndUnloadedWithItsOwner) {
    std::unique_ptr<LoadedModule> module = loader.loadWithOwnFolder(library);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->address(), reinterpret_cast<std::uintptr_t>(GetModuleHandleW(library.c_str())));
    EXPECT_NE(module->exportAddress("CreateInterface"), 0u);
    EXPECT_EQ(module->exportAddress("NoSuchExport"), 0u);
    module.reset();
    EXPECT_EQ(GetModuleHandleW(library.c_str()), nullptr);

    EXPECT_EQ(loader.loadWithOwnFolder(dir / L"missing.dll"), nullptr);
}

TEST_F(Modules, ASystem32LibraryIsFoundThereAndNowhereElse) {
    const std::unique_ptr<LoadedModule> bcrypt = loader.loadFromSystem32(L"bcrypt.dll");
    ASSERT_NE(bcrypt, nullptr);
    EXPECT_NE(bcrypt->exportAddress("BCryptOpenAlgorithmProvider"), 0u);

    // The library lies in the current folder, where an ordinary load by name finds it.
    wchar_t previous[MAX_PATH] = {};
    ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(library.parent_path().c_str()));
    EXPECT_EQ(loader.loadFromSystem32(L"steamclient64.dll"), nullptr);
    const HMODULE ordinary = LoadLibraryW(L"steamclient64.dll");
    EXPECT_NE(ordinary, nullptr);
    if (ordinary != nullptr) FreeLibrary(ordinary);
    SetCurrentDirectoryW(previous);
}

}  // namespace
}  // namespace quorvel
