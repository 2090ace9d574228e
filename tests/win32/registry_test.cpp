// Win32Registry against a sandboxed HKEY_CURRENT_USER: what it writes reads back, and a read
// never goes past the caller's buffer.
#include "platform/registry_win32.hpp"
#include "support/registry_sandbox_win32.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

constexpr const wchar_t* kKey = L"Software\\QuorvelRegistryTest";

TEST(Win32Registry, WrittenStringsReadBackWithinTheBuffer) {
    testing::RegistrySandbox sandbox(testing::RegistrySandbox::Keys::persistent);
    Win32Registry registry;
    {
        const std::unique_ptr<RegistryKey> key = registry.createKey(kKey);
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(key->setString(L"", L"默认值"));
        EXPECT_TRUE(key->setString(L"name", L"value"));
    }
    EXPECT_EQ(registry.readString(kKey, L"", 64), L"默认值");
    // "value" and its terminator take 12 bytes.
    EXPECT_EQ(registry.readString(kKey, L"name", 12), L"value");
    for (const std::uint32_t tooSmall : {11u, 10u, 1u, 0u}) {
        EXPECT_EQ(registry.readString(kKey, L"name", tooSmall), std::nullopt) << tooSmall;
    }
    EXPECT_EQ(registry.readDword(kKey, L"name"), std::nullopt);  // a string, not a DWORD
    EXPECT_EQ(registry.readString(kKey, L"missing", 64), std::nullopt);

    sandbox.setDword(kKey, L"count", 42);
    EXPECT_EQ(registry.readDword(kKey, L"count"), 42u);
    EXPECT_EQ(registry.readString(kKey, L"count", 64), std::nullopt);
}

}  // namespace
}  // namespace quorvel
