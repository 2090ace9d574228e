#pragma once
// FakeRegistry: HKEY_CURRENT_USER as maps of keys to named values ("" is the default value), REG_SZ
// and REG_DWORD ones apart, with refusals scripted and every write recorded.

#include "platform/registry.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::testing {

class FakeRegistry final : public Registry {
public:
    std::optional<std::wstring> readString(const std::wstring& subKey, const std::wstring& name,
                                           std::uint32_t maxBytes) const override;
    std::optional<std::uint32_t> readDword(const std::wstring& subKey, const std::wstring& name) const override;
    std::unique_ptr<RegistryKey> createKey(const std::wstring& subKey) override;
    bool deleteTree(const std::wstring& subKey) override;

    std::map<std::wstring, std::map<std::wstring, std::wstring>> values;    // REG_SZ values
    std::map<std::wstring, std::map<std::wstring, std::uint32_t>> dwords;  // REG_DWORD values
    std::set<std::wstring> refusedKeys;                                    // createKey fails for these
    std::set<std::pair<std::wstring, std::wstring>> refusedValues;         // setString/setDword fail for these
    std::set<std::wstring> refusedDeletes;                                 // deleteTree fails for these
    std::vector<std::wstring> events;  // "create K", "set K|N", "close K", "delete K" in order
    int openKeys = 0;
    // Runs before each createKey, setString, setDword and deleteTree; it may throw to stop the world there.
    std::function<void()> beforeEachWrite;
};

}  // namespace quorvel::testing
